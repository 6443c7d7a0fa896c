// The ground line verdict: a light floor reflects more infrared than a dark line, so a ground
// reading above the threshold is "white" and any other is "black".
#pragma once

#include <string_view>

#include "cells/cell_store.h"
#include "link/frame_result.h"

namespace sensor {

inline constexpr double kGroundThreshold = 150;

std::string_view ground_verdict(double reading);

// Reads Text1(9), Text1(10) and writes Text1(14), Text1(15). A cell whose text is not a number
// leaves its verdict cell as it was.
void classify_ground_line(CellStore& cells, char decimal_separator, FrameResult* result = nullptr);

}  // namespace sensor
