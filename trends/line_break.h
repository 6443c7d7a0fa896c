// Where a trace breaks for lack of frames: the board stopped sending for longer than a second, so
// no line is drawn across the pause.
#pragma once

#include <cstdint>

namespace sensor {

inline constexpr std::int64_t kLineBreakGapNs = 1'000'000'000;

// Whether a line runs from a frame stamped at earlier_ns to the next one, stamped at later_ns.
constexpr bool line_joins(std::int64_t earlier_ns, std::int64_t later_ns) { return later_ns - earlier_ns <= kLineBreakGapNs; }

}  // namespace sensor
