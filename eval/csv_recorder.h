// Which frames of a run go to the log, and the text of a log line: every 50th decoded frame while
// a run is on, eight converted cells joined by ",", ended by carriage return and line feed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cells/cell_store.h"

namespace sensor {

// A run is on while the START/STOP button shows "STOP".
bool run_is_on(const CellStore& cells);

// The fields Text1(6), (7), (8), (11), (12), (13), (14), (15) as the cells show them, except that a
// number's decimal separator is always "." so that a "," locale cannot split a field in two.
std::string csv_record(const CellStore& cells, char decimal_separator);

class CsvRecorder {
public:
    // Frames counted since the last line (or since the count last wrapped past 100). Neither the
    // start nor the stop of a run resets it.
    std::int16_t LogCounter = 0;

    // Counts a decoded frame; returns the line to append when one is due.
    std::optional<std::string> after_frame(const CellStore& cells, char decimal_separator);
};

}  // namespace sensor
