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

void decode_frame(FrameSlots& b, CellStore& cells, char sep) {
    auto& t = cells.Text1;
    assign_integer_text(t[0], infrared_reading(b, 0));
    assign_integer_text(t[2], infrared_reading(b, 4));
    assign_integer_text(t[4], infrared_reading(b, 8));
    assign_integer_text(t[9], infrared_reading(b, 12));
    assign_integer_text(t[10], infrared_reading(b, 14));

    apply_zero_flags(b, 0);
    apply_zero_flags(b, 4);
    apply_zero_flags(b, 8);

    assign_single_text(t[1], time_of_flight(b, 2), sep);
    assign_single_text(t[3], time_of_flight(b, 6), sep);
    assign_single_text(t[5], time_of_flight(b, 10), sep);

    assign_double_text(t[6], distance_metres(b, 2), sep);
    assign_double_text(t[7], distance_metres(b, 6), sep);
    assign_double_text(t[8], distance_metres(b, 10), sep);
}

}  // namespace sensor
