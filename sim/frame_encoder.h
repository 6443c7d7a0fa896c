// The board's side of a frame: readings in, the 16 non-zero data bytes and the ending zero out.
// A time-of-flight byte of 0 cannot travel, so it goes as a non-zero byte with its flag set.
#pragma once

#include <array>
#include <cstdint>

namespace sensor {

struct BoardReadings {
    std::array<int, 3> infrared{};        // 10-bit readings, 0 to 1023, modules 1 to 3
    std::array<int, 3> time_of_flight{};  // 16-bit, 0 to 65535, 1800 units a foot
    std::array<int, 2> ground{};          // 10-bit readings of ground sensors 1 and 2
};

inline constexpr std::size_t kFrameLength = 17;  // 16 data bytes and the zero
using EncodedFrame = std::array<std::uint8_t, kFrameLength>;

// Readings outside their range are clamped to it.
EncodedFrame encode_frame(const BoardReadings& readings);

}  // namespace sensor
