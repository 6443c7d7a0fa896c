// What the status line's fields say, made from the facts of the moment: the connection and its
// state, the frames of this connection and their health, how old the last frame is, the log, and
// what else is on (the demo, a recording). The window only shows these texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sensor {

struct StatusFacts {
    std::string connection;  // "/dev/ttyUSB0", "the simulated board", "replay of run.bin"; empty for none
    std::string state;       // "open", "retrying", "lost", "closed"; a replay's "paused" or "ended"
    std::uint64_t frames = 0;           // since this connection was chosen
    std::optional<double> rate;         // frames a second, once there is something to measure over
    std::uint64_t short_frames = 0;     // ended before 16 data bytes
    std::uint64_t overlong_frames = 0;  // ran past them
    std::optional<std::int64_t> quiet_s;  // since the last frame of an open line
    bool logging = true;
    std::string log_name;   // "sensors.csv"
    std::string log_state;  // "12 lines written", "cannot write: ..."
    std::string extras;     // "demo: simulated board, recording run.rec, 12 KiB"; empty for none
    std::string group_separator = ",";  // between thousands, as the locale writes them
};

struct StatusLine {
    std::string port;
    std::string frames;
    std::string health;  // empty while every frame came whole
    std::string age;     // empty while frames are fresh
    std::string log;
    std::string extras;
};

// The last frame is said to be old from this many seconds on, when the cells look stale too.
inline constexpr std::int64_t kAgeShownFromS = 2;

StatusLine status_line(const StatusFacts& facts);
// 4718 as "4,718" with "," as the separator.
std::string grouped(std::uint64_t n, const std::string& separator);

}  // namespace sensor
