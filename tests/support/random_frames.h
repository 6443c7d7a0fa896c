// Frames for tests and benchmarks: random readings over their whole ranges, encoded as the board
// sends them, the same for the same seed.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "sim/frame_encoder.h"

namespace sensor::testing {

BoardReadings random_readings(std::mt19937& rng);
// count whole frames, 17 bytes each.
std::vector<std::uint8_t> random_frames(int count, std::uint32_t seed);
// count frames as a noisy or mismatched line gives them, each ended by a zero: random non-zero
// bytes, half of the frames whole, a quarter short (none to 15 data bytes; none is two zeros in a
// row) and a quarter overlong (17 to 40, wrapping over their first slots).
std::vector<std::uint8_t> noisy_frames(int count, std::uint32_t seed);
// count frames of the simulated board's model, as the demo sends them.
std::vector<std::uint8_t> model_frames(int count, std::uint32_t seed);

}  // namespace sensor::testing
