#include "tests/support/random_frames.h"

#include "sim/board_model.h"

namespace sensor::testing {

BoardReadings random_readings(std::mt19937& rng) {
    std::uniform_int_distribution<int> ten_bits(0, 1023), sixteen_bits(0, 65535);
    BoardReadings r;
    for (int& v : r.infrared) v = ten_bits(rng);
    for (int& v : r.time_of_flight) v = sixteen_bits(rng);
    for (int& v : r.ground) v = ten_bits(rng);
    return r;
}

std::vector<std::uint8_t> random_frames(int count, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(count) * kFrameLength);
    for (int i = 0; i < count; ++i) {
        const EncodedFrame f = encode_frame(random_readings(rng));
        bytes.insert(bytes.end(), f.begin(), f.end());
    }
    return bytes;
}

std::vector<std::uint8_t> noisy_frames(int count, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> kind(0, 3), short_length(0, 15), long_length(17, 40), byte(1, 255);
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        const int k = kind(rng);
        const int length = k == 0 ? short_length(rng) : k == 1 ? long_length(rng) : 16;
        for (int b = 0; b < length; ++b) bytes.push_back(static_cast<std::uint8_t>(byte(rng)));
        bytes.push_back(0);
    }
    return bytes;
}

std::vector<std::uint8_t> model_frames(int count, std::uint32_t seed) {
    BoardModel model(seed);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(count) * kFrameLength);
    for (int i = 0; i < count; ++i) {
        const EncodedFrame f = encode_frame(model.next_frame());
        bytes.insert(bytes.end(), f.begin(), f.end());
    }
    return bytes;
}

}  // namespace sensor::testing
