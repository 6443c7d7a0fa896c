#include "eval/ir_distance.h"

#include "cells/number_text.h"

namespace sensor {
namespace {

struct Segment {
    double lower;     // exclusive
    double upper;     // inclusive
    double span;
    double distance;  // cm at the upper reading; the lower reading is 5 cm further
};

constexpr Segment kTable[] = {
    {527, 865, 338, 10}, {380, 527, 147, 15}, {263, 380, 117, 20}, {200, 263, 63, 25},
    {151, 200, 49, 30},  {112, 151, 39, 35},  {74, 112, 38, 40},   {51, 74, 23, 45},
    {41, 51, 10, 50},    {10, 41, 31, 55},    {0, 10, 10, 60},
};
constexpr double kStep = 5;
constexpr double kHighestReading = 865;

// Writes over the cell in place; Kept when the reading is outside the table (a negative one).
InfraredDistance write_ir_distance(std::string& cell, double v, char sep) {
    if (v > kHighestReading) {
        cell = "ERR";
        return {InfraredMark::Err, 0};
    }
    for (const Segment& s : kTable) {
        if (v > s.lower && v <= s.upper) {
            const double cm = ((v - s.upper) * kStep) / (-s.span) + s.distance;
            assign_double_text(cell, cm, sep);
            return {InfraredMark::Number, cm};
        }
    }
    if (v == 0) {
        cell = "OK";
        return {InfraredMark::Ok, 0};
    }
    return {InfraredMark::Kept, 0};
}

}  // namespace

std::optional<std::string> ir_distance_text(double v, char sep) {
    std::string text;
    if (write_ir_distance(text, v, sep).mark == InfraredMark::Kept) return std::nullopt;
    return text;
}

void evaluate_ir_distances(CellStore& cells, char sep, FrameResult* result) {
    for (std::size_t i = 0; i < 3; ++i) {
        InfraredDistance got;
        if (const auto reading = text_number(cells.Text1[2 * i], sep)) got = write_ir_distance(cells.Text1[i + 11], *reading, sep);
        if (result) result->infrared_cm[i] = got;
    }
}

}  // namespace sensor
