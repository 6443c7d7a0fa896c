#include "eval/frame_row.h"

#include "cells/number_text.h"

namespace sensor {
namespace {

std::string infrared_text(const InfraredDistance& d) {
    switch (d.mark) {
        case InfraredMark::Number: return double_text(d.cm, '.');
        case InfraredMark::Err: return "ERR";
        case InfraredMark::Ok: return "OK";
        case InfraredMark::Kept: break;
    }
    return {};
}

std::string verdict_text(Verdict v) {
    switch (v) {
        case Verdict::Black: return "black";
        case Verdict::White: return "white";
        case Verdict::Kept: break;
    }
    return {};
}

template <typename Texts>
std::string joined(const Texts& texts) {
    std::string row;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i) row += ',';
        row += texts[i];
    }
    return row;
}

}  // namespace

std::array<std::string, 16> frame_cells(const FrameResult& f) {
    std::array<std::string, 16> t;
    for (std::size_t m = 0; m < 3; ++m) {
        t[2 * m] = integer_text(f.infrared[m]);
        t[2 * m + 1] = single_text(f.time_of_flight[m], '.');
        t[6 + m] = double_text(f.ultrasonic_m[m], '.');
        t[11 + m] = infrared_text(f.infrared_cm[m]);
    }
    for (std::size_t g = 0; g < 2; ++g) {
        t[9 + g] = integer_text(f.ground[g]);
        t[14 + g] = verdict_text(f.verdict[g]);
    }
    return t;
}

std::string frame_row(const FrameResult& frame) { return joined(frame_cells(frame)); }

std::string frame_row_header() { return joined(kCellNames); }

}  // namespace sensor
