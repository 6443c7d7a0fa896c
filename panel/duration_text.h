// Durations as the status line says them: seconds, then minutes, then hours, never 3725 s.
#pragma once

#include <cstdint>
#include <string>

namespace sensor {

// "45 s", "12 min 5 s", "1 h 2 min"; negative counts as 0.
std::string duration_text(std::int64_t seconds);
// A position in a replay or a recording: "2:05" below an hour, "1:02:05" from one on.
std::string clock_text(std::int64_t seconds);

}  // namespace sensor
