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

// Writes over the cell in place; false when the reading is outside the table (a negative one).
bool write_ir_distance(std::string& cell, double v, char sep) {
    if (v > kHighestReading) {
        cell = "ERR";
        return true;
    }
    for (const Segment& s : kTable) {
        if (v > s.lower && v <= s.upper) {
            assign_double_text(cell, ((v - s.upper) * kStep) / (-s.span) + s.distance, sep);
            return true;
        }
    }
    if (v == 0) {
        cell = "OK";
        return true;
    }
    return false;
}

}  // namespace

std::optional<std::string> ir_distance_text(double v, char sep) {
    std::string text;
    if (!write_ir_distance(text, v, sep)) return std::nullopt;
    return text;
}

void evaluate_ir_distances(CellStore& cells, char sep) {
    for (int i = 0; i < 3; ++i) {
        const auto reading = text_number(cells.Text1[2 * i], sep);
        if (reading) write_ir_distance(cells.Text1[i + 11], *reading, sep);
    }
}

}  // namespace sensor
