#include "link/frame_decoder.h"

#include <cmath>

#include "cells/number_text.h"

namespace sensor {
namespace {

// Slots hold whole bytes; rounding to nearest (ties to even) leaves them as they are.
int byte_at(const FrameSlots& slots, int i) { return static_cast<int>(std::nearbyint(slots[i])); }

int infrared_reading(const FrameSlots& slots, int high) {
    return (byte_at(slots, high) & 7) * 128 + (byte_at(slots, high + 1) & 127);
}

// A time-of-flight byte of 0 cannot travel (the zero ends the frame), so the head byte flags it:
// bit 0x20 for the high byte, 0x10 for the low byte.
void apply_zero_flags(FrameSlots& slots, int head) {
    if (byte_at(slots, head) & 0x20) slots[head + 2] = 0.0f;
    if (byte_at(slots, head) & 0x10) slots[head + 3] = 0.0f;
}

float time_of_flight(const FrameSlots& slots, int high) {
    return static_cast<float>(byte_at(slots, high)) * 256.0f + static_cast<float>(byte_at(slots, high + 1));
}

double distance_metres(const FrameSlots& slots, int high) {
    const double units = static_cast<double>(byte_at(slots, high)) * 256.0 + byte_at(slots, high + 1);
    return units / kTofUnitsPerFoot * kMetresPerFoot;
}

}  // namespace

void decode_frame(FrameSlots& b, CellStore& cells, char sep, FrameResult* result) {
    auto& t = cells.Text1;
    const int ir[3] = {infrared_reading(b, 0), infrared_reading(b, 4), infrared_reading(b, 8)};
    const int ground[2] = {infrared_reading(b, 12), infrared_reading(b, 14)};
    assign_integer_text(t[0], ir[0]);
    assign_integer_text(t[2], ir[1]);
    assign_integer_text(t[4], ir[2]);
    assign_integer_text(t[9], ground[0]);
    assign_integer_text(t[10], ground[1]);

    apply_zero_flags(b, 0);
    apply_zero_flags(b, 4);
    apply_zero_flags(b, 8);

    const float tof[3] = {time_of_flight(b, 2), time_of_flight(b, 6), time_of_flight(b, 10)};
    assign_single_text(t[1], tof[0], sep);
    assign_single_text(t[3], tof[1], sep);
    assign_single_text(t[5], tof[2], sep);

    const double metres[3] = {distance_metres(b, 2), distance_metres(b, 6), distance_metres(b, 10)};
    assign_double_text(t[6], metres[0], sep);
    assign_double_text(t[7], metres[1], sep);
    assign_double_text(t[8], metres[2], sep);

    if (!result) return;
    for (std::size_t m = 0; m < 3; ++m) {
        result->infrared[m] = ir[m];
        result->time_of_flight[m] = tof[m];
        result->ultrasonic_m[m] = metres[m];
    }
    result->ground = {ground[0], ground[1]};
}

}  // namespace sensor
