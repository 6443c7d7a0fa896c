#include "eval/ground_line.h"

#include "cells/number_text.h"

namespace sensor {

std::string_view ground_verdict(double reading) { return reading > kGroundThreshold ? "white" : "black"; }

void classify_ground_line(CellStore& cells, char sep) {
    for (int i = 0; i < 2; ++i) {
        if (const auto reading = text_number(cells.Text1[9 + i], sep)) cells.Text1[14 + i] = ground_verdict(*reading);
    }
}

}  // namespace sensor
