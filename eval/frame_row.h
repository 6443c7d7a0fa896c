// One frame as a CSV row: the sixteen measurement cells in Text1 index order, exactly as the panel
// shows them, with "." as the decimal separator; and the header row that names them. Made from
// the typed result of a frame, so a plot's history can be exported without the cells.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "link/frame_result.h"

namespace sensor {

// The column names of Text1(0) to Text1(15).
inline constexpr std::array<std::string_view, 16> kCellNames{
    "ir1_reading", "tof1",   "ir2_reading", "tof2",   "ir3_reading", "tof3",          "us1_m",           "us2_m",
    "us3_m",       "ground1", "ground2",    "ir1_cm", "ir2_cm",      "ir3_cm",        "ground1_verdict", "ground2_verdict",
};

// The texts of Text1(0) to Text1(15) after this frame. A cell the frame leaves as it was (an
// infrared distance or verdict marked Kept, which the board's readings never give) is "".
std::array<std::string, 16> frame_cells(const FrameResult& frame);
// The sixteen texts joined by ",", without a line end.
std::string frame_row(const FrameResult& frame);
// The sixteen names joined by ",", without a line end.
std::string frame_row_header();

}  // namespace sensor
