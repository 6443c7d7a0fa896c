// The frame's cells in the order the frame-end sequence writes them.
#include "trends/frame_texts.h"

#include "cells/number_text.h"
#include "eval/ground_line.h"
#include "eval/ir_distance.h"

namespace sensor {

void panel_frame_texts(const FrameResult& frame, FrameTexts& t) {
    for (std::size_t m = 0; m < 3; ++m) {
        assign_integer_text(t[2 * m], frame.infrared[m]);
        assign_single_text(t[2 * m + 1], frame.time_of_flight[m], '.');
        assign_double_text(t[6 + m], frame.ultrasonic_m[m], '.');
        // A reading the table does not cover leaves what the cell showed, which a frame alone
        // cannot tell; decoded readings are never outside it.
        if (const auto distance = ir_distance_text(frame.infrared[m], '.')) t[11 + m] = *distance;
        else t[11 + m].clear();
    }
    for (std::size_t g = 0; g < 2; ++g) {
        assign_integer_text(t[9 + g], frame.ground[g]);
        t[14 + g] = ground_verdict(frame.ground[g]);
    }
}

}  // namespace sensor
