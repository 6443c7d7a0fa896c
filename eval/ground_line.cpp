#include "eval/ground_line.h"

#include "cells/number_text.h"

namespace sensor {

std::string_view ground_verdict(double reading) { return reading > kGroundThreshold ? "white" : "black"; }

void classify_ground_line(CellStore& cells, char sep, FrameResult* result) {
    for (std::size_t i = 0; i < 2; ++i) {
        Verdict verdict = Verdict::Kept;
        if (const auto reading = text_number(cells.Text1[9 + i], sep)) {
            cells.Text1[14 + i] = ground_verdict(*reading);
            verdict = *reading > kGroundThreshold ? Verdict::White : Verdict::Black;
        }
        if (result) result->verdict[i] = verdict;
    }
}

}  // namespace sensor
