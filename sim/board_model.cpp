#include "sim/board_model.h"

#include <algorithm>
#include <cmath>

#include "link/control_byte.h"

namespace sensor {
namespace {

constexpr std::uint8_t kInfraredBit = control_bit::kInfraredGroup;
constexpr std::uint8_t kUltrasonicBit = control_bit::kUltrasonicGroup;
constexpr std::uint8_t kGroundBit = control_bit::kGroundGroup;
constexpr std::uint8_t kResetBit = control_bit::kResetRequest;
constexpr std::uint8_t kStartByte = kControlByteStart;

constexpr double kNearestCm = 10;
constexpr double kFarthestCm = 60;

// The sensor's curve: reading against distance, the same shape the panel's table undoes.
struct CurvePoint {
    double cm;
    double reading;
};
constexpr CurvePoint kCurve[] = {
    {10, 860}, {15, 527}, {20, 380}, {25, 263}, {30, 200}, {35, 151},
    {40, 112}, {45, 74},  {50, 51},  {55, 41},  {60, 30},
};

}  // namespace

int infrared_reading_at(double cm) {
    cm = std::clamp(cm, kNearestCm, kFarthestCm);
    for (std::size_t i = 1; i < std::size(kCurve); ++i) {
        const CurvePoint& a = kCurve[i - 1];
        const CurvePoint& b = kCurve[i];
        if (cm <= b.cm) return static_cast<int>(std::lround(a.reading + (cm - a.cm) / (b.cm - a.cm) * (b.reading - a.reading)));
    }
    return static_cast<int>(kCurve[std::size(kCurve) - 1].reading);
}

int time_of_flight_at(double cm) { return static_cast<int>(std::lround(cm / 100.0 / 0.3048 * 1800.0)); }

// splitmix64: std's distributions differ between libraries, and a seed must give one board.
double BoardModel::Random::uniform() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * 0x1.0p-53;
}

BoardModel::BoardModel(std::uint32_t seed) : seed_(seed) { reset(); }

void BoardModel::reset() {
    random_ = Random{seed_};
    control_byte_ = kStartByte;
    frames_ = 0;
    for (Obstacle& o : obstacles_) {
        o.cm = random_.between(kNearestCm, kFarthestCm);
        o.target_cm = o.cm;
        o.pause_s = random_.between(0, 1);
    }
    for (Ground& g : ground_) {
        g.floor = random_.between(450, 850);
        g.line = random_.between(60, 110);
    }
    next_line_s_ = random_.between(1, 4);
    line_width_s_ = random_.between(0.15, 0.6);
    line_lag_s_ = random_.between(0, 0.3);
}

void BoardModel::apply_command(std::uint8_t control_byte) {
    if (control_byte & kResetBit) {
        reset();
        return;
    }
    control_byte_ = control_byte;
}

// An obstacle walks to a new place at its own pace, waits there a while, then picks the next one.
void BoardModel::move_obstacle(Obstacle& o) {
    if (o.pause_s > 0) {
        o.pause_s -= kFrameSeconds;
        if (o.pause_s <= 0) {
            o.target_cm = random_.between(kNearestCm, kFarthestCm);
            o.speed_cm_s = random_.between(5, 40);
        }
        return;
    }
    const double step = o.speed_cm_s * kFrameSeconds;
    if (std::abs(o.target_cm - o.cm) <= step) {
        o.cm = o.target_cm;
        o.pause_s = random_.between(0.2, 2.5);
    } else {
        o.cm += o.target_cm > o.cm ? step : -step;
    }
}

void BoardModel::move_line() {
    const double now = model_seconds();
    if (now > next_line_s_ + line_lag_s_ + line_width_s_) {
        next_line_s_ = now + random_.between(2, 8);
        line_width_s_ = random_.between(0.15, 0.6);
        line_lag_s_ = random_.between(0, 0.3);
    }
    for (Ground& g : ground_) g.floor = std::clamp(g.floor + random_.between(-1, 1), 420.0, 880.0);
}

BoardReadings BoardModel::next_frame() {
    ++frames_;
    for (Obstacle& o : obstacles_) move_obstacle(o);
    move_line();

    BoardReadings r;
    for (std::size_t m = 0; m < 3; ++m) {
        const double cm = obstacles_[m].cm;
        const int noise = static_cast<int>(std::lround(random_.between(-3, 3)));
        r.infrared[m] = (control_byte_ & kInfraredBit) ? std::clamp(infrared_reading_at(cm) + noise, 30, 860) : 0;
        r.time_of_flight[m] = (control_byte_ & kUltrasonicBit) ? time_of_flight_at(cm + random_.between(-0.3, 0.3)) : 0;
    }
    const double now = model_seconds();
    for (std::size_t g = 0; g < 2; ++g) {
        const double arrives = next_line_s_ + (g == 0 ? 0 : line_lag_s_);
        const bool on_line = now >= arrives && now < arrives + line_width_s_;
        const double level = on_line ? ground_[g].line : ground_[g].floor;
        const int reading = static_cast<int>(std::lround(level + random_.between(-8, 8)));
        r.ground[g] = (control_byte_ & kGroundBit) ? std::clamp(reading, on_line ? 50 : 400, on_line ? 120 : 900) : 0;
    }
    return r;
}

}  // namespace sensor
