// Times within a recording: as a person reads them, and where a byte of a raw capture stands on
// the line (a raw capture has no times of its own: its bytes came at 1,920 a second).
#pragma once

#include <cstdint>
#include <string>

namespace sensor {

// "01:02:03.456": hours, minutes, seconds and milliseconds since the start.
std::string recorded_time_text(std::int64_t us);

// When the byte at `index` (0 for the first) had arrived whole, at the line rate.
std::int64_t line_place_us(std::int64_t index);
// How many bytes the line had delivered whole by `us`; the inverse of line_place_us.
std::int64_t line_bytes_by(std::int64_t us);

}  // namespace sensor
