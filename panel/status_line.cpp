#include "panel/status_line.h"

#include <cmath>

#include "panel/duration_text.h"

namespace sensor {

std::string grouped(std::uint64_t n, const std::string& separator) {
    std::string digits = std::to_string(n);
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), separator);
    return digits;
}

StatusLine status_line(const StatusFacts& f) {
    StatusLine line;
    line.port = (f.connection.empty() ? std::string("no port") : f.connection) + ": " + f.state;
    line.frames = grouped(f.frames, f.group_separator) + (f.frames == 1 ? " frame" : " frames");
    if (f.rate) line.frames += ", " + std::to_string(std::lround(*f.rate)) + "/s";
    if (f.short_frames) line.health = grouped(f.short_frames, f.group_separator) + " short";
    if (f.overlong_frames)
        line.health += (line.health.empty() ? "" : ", ") + grouped(f.overlong_frames, f.group_separator) + " overlong";
    if (f.quiet_s && *f.quiet_s >= kAgeShownFromS) line.age = "last frame " + duration_text(*f.quiet_s) + " ago";
    line.log = f.logging ? "log " + f.log_name + ": " + f.log_state : std::string("logging off");
    line.extras = f.extras;
    return line;
}

}  // namespace sensor
