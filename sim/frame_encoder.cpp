#include "sim/frame_encoder.h"

#include <algorithm>

namespace sensor {
namespace {

// Bits the panel does not read are set so that no data byte is ever zero: bit 6 of a head byte,
// bit 3 of a ground high byte, bit 7 of every low byte.
constexpr std::uint8_t kHeadFiller = 0x40;
constexpr std::uint8_t kGroundHighFiller = 0x08;
constexpr std::uint8_t kLowFiller = 0x80;
constexpr std::uint8_t kStandInForZero = 0x01;
constexpr std::uint8_t kHighIsZero = 0x20;
constexpr std::uint8_t kLowIsZero = 0x10;

int clamp(int value, int high) { return std::clamp(value, 0, high); }

}  // namespace

EncodedFrame encode_frame(const BoardReadings& r) {
    EncodedFrame f{};
    for (int m = 0; m < 3; ++m) {
        const int ir = clamp(r.infrared[m], 1023);
        const int tof = clamp(r.time_of_flight[m], 65535);
        const auto high = static_cast<std::uint8_t>(tof >> 8);
        const auto low = static_cast<std::uint8_t>(tof & 0xFF);
        std::uint8_t head = kHeadFiller | static_cast<std::uint8_t>(ir >> 7);
        if (high == 0) head |= kHighIsZero;
        if (low == 0) head |= kLowIsZero;
        f[4 * m] = head;
        f[4 * m + 1] = kLowFiller | static_cast<std::uint8_t>(ir & 0x7F);
        f[4 * m + 2] = high != 0 ? high : kStandInForZero;
        f[4 * m + 3] = low != 0 ? low : kStandInForZero;
    }
    for (int g = 0; g < 2; ++g) {
        const int reading = clamp(r.ground[g], 1023);
        f[12 + 2 * g] = kGroundHighFiller | static_cast<std::uint8_t>(reading >> 7);
        f[13 + 2 * g] = kLowFiller | static_cast<std::uint8_t>(reading & 0x7F);
    }
    f[16] = 0;
    return f;
}

}  // namespace sensor
