// Turns the 16 bytes of a frame into the raw readings, the ultrasonic times of flight and the
// ultrasonic distances in metres, written as text into Text1(0) to Text1(10).
#pragma once

#include "cells/cell_store.h"
#include "link/frame_receiver.h"
#include "link/frame_result.h"

namespace sensor {

// Also writes 0 into the time-of-flight slots that their module's head byte flags as zero; those
// zeros stay in the slots until the next byte for that position arrives.
// The same numbers go into result, when one is given.
void decode_frame(FrameSlots& slots, CellStore& cells, char decimal_separator, FrameResult* result = nullptr);

// Time-of-flight units per foot of distance, and metres per foot.
inline constexpr double kTofUnitsPerFoot = 1800.0;
inline constexpr double kMetresPerFoot = 0.3048;

}  // namespace sensor
