// The simulated board's sensors: obstacles that come and go in front of the three modules and a
// dark line that passes under the ground sensors now and then, switched by the command byte.
#pragma once

#include <array>
#include <cstdint>

#include "link/frame_receiver.h"
#include "sim/frame_encoder.h"

namespace sensor {

class BoardModel {
public:
    // One frame on the line.
    static constexpr double kFrameSeconds = static_cast<double>(kFrameLength) / kLineBytesPerSecond;

    explicit BoardModel(std::uint32_t seed = 1);

    // A group whose bit is off reads 0; the reset bit puts the board back to its start state.
    void apply_command(std::uint8_t control_byte);

    // The readings of the next frame; model time moves on by one frame.
    BoardReadings next_frame();

    std::uint8_t control_byte() const { return control_byte_; }
    double model_seconds() const { return static_cast<double>(frames_) * kFrameSeconds; }
    // Where each module's obstacle stands now, in centimetres.
    double obstacle_cm(int module) const { return obstacles_[static_cast<std::size_t>(module)].cm; }

private:
    // A small generator whose sequence is the same on every standard library.
    struct Random {
        std::uint64_t state;
        double uniform();  // [0, 1)
        double between(double low, double high) { return low + (high - low) * uniform(); }
    };

    struct Obstacle {
        double cm = 40;
        double target_cm = 40;
        double speed_cm_s = 10;
        double pause_s = 0;
    };

    struct Ground {
        double floor = 600;  // this sensor's floor reading; it drifts slowly
        double line = 80;
    };

    void reset();
    void move_obstacle(Obstacle& o);
    void move_line();

    std::uint32_t seed_;
    Random random_{0};
    std::uint8_t control_byte_ = 19;
    std::uint64_t frames_ = 0;
    std::array<Obstacle, 3> obstacles_{};
    std::array<Ground, 2> ground_{};
    double next_line_s_ = 0;  // when the next line reaches sensor 1
    double line_width_s_ = 0;  // how long it takes to pass under one sensor
    double line_lag_s_ = 0;    // how much later it reaches sensor 2
};

// The infrared reading for an obstacle at cm (10 to 60), without noise: it rises as the obstacle nears.
int infrared_reading_at(double cm);

// Time-of-flight units for an obstacle at cm: 1800 units a foot.
int time_of_flight_at(double cm);

}  // namespace sensor
