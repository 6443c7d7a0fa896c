#include "panel/marker_book.h"

#include <utility>

namespace sensor {

Marker MarkerBook::mark(std::uint64_t newest_frame, const std::string& label) {
    ++count_;
    Marker m{newest_frame, label};
    if (m.label.find_first_not_of(" \t\r\n") == std::string::npos) m.label = "Marker " + std::to_string(count_);
    for_log_.push_back(m.label);
    return m;
}

std::vector<std::string> MarkerBook::take_for_log_line() { return std::exchange(for_log_, {}); }

}  // namespace sensor
