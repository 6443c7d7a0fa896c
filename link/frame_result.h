// What one decoded frame amounts to, as numbers: for plots, recorders and the status line. The
// cells stay what is shown and logged; nothing reads a cell's text back to get these.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace sensor {

// An infrared distance cell shows a number, "ERR" (above the table), "OK" (a reading of 0), or
// keeps its old text when its reading is outside the table.
enum class InfraredMark : std::uint8_t { Number, Err, Ok, Kept };

struct InfraredDistance {
    InfraredMark mark = InfraredMark::Kept;
    double cm = 0;  // only for Number
};

enum class Verdict : std::uint8_t { Black, White, Kept };

struct FrameResult {
    std::uint64_t index = 0;  // 1 for the first frame decoded since start-up
    // Non-zero bytes received since the previous zero: 16 for a whole frame, fewer for a short one,
    // more for one that wrapped over its first slots.
    int data_bytes = 0;
    std::array<int, 3> infrared{};          // 10-bit readings, modules 1 to 3
    std::array<float, 3> time_of_flight{};  // 1800 units a foot
    std::array<double, 3> ultrasonic_m{};   // metres
    std::array<int, 2> ground{};            // 10-bit readings, ground sensors 1 and 2
    std::array<InfraredDistance, 3> infrared_cm{};
    std::array<Verdict, 2> verdict{Verdict::Kept, Verdict::Kept};
    std::optional<std::string> log_line;  // the CSV line, with its line end, when one is due
};

}  // namespace sensor
