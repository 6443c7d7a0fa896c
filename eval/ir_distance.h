// The infrared distance table: a module's 10-bit reading (it falls as the obstacle moves away)
// to centimetres by straight lines between calibration points; "ERR" above the table, "OK" at 0.
#pragma once

#include <optional>
#include <string>

#include "cells/cell_store.h"
#include "link/frame_result.h"

namespace sensor {

// The text for one reading, or nothing for a reading the table does not cover (a negative one),
// in which case the result cell keeps what it shows.
std::optional<std::string> ir_distance_text(double reading, char decimal_separator);

// Reads Text1(0), Text1(2), Text1(4) and writes Text1(11), Text1(12), Text1(13). A cell whose text
// is not a number leaves its result cell as it was. What each cell got also goes into result.
void evaluate_ir_distances(CellStore& cells, char decimal_separator, FrameResult* result = nullptr);

}  // namespace sensor
