#include "recording/recorded_time.h"

#include <cstdio>
#include <limits>

#include "link/frame_receiver.h"

namespace sensor {
namespace {

constexpr std::int64_t kRate = static_cast<std::int64_t>(kLineBytesPerSecond);
constexpr std::int64_t kMicro = 1'000'000;

}  // namespace

std::string recorded_time_text(std::int64_t us) {
    if (us < 0) us = 0;
    const std::int64_t ms = us / 1000;
    char text[40];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld", static_cast<long long>(ms / 3'600'000),
                  static_cast<long long>(ms / 60'000 % 60), static_cast<long long>(ms / 1000 % 60),
                  static_cast<long long>(ms % 1000));
    return text;
}

std::int64_t line_place_us(std::int64_t index) { return ((index + 1) * kMicro + kRate - 1) / kRate; }

std::int64_t line_bytes_by(std::int64_t us) {
    if (us <= 0) return 0;
    // "As fast as the panel takes it" asks with the largest time there is.
    if (us > std::numeric_limits<std::int64_t>::max() / kRate) return std::numeric_limits<std::int64_t>::max();
    return us * kRate / kMicro;
}

}  // namespace sensor
