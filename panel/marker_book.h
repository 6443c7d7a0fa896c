// The moments the operator marks in a run: each gets its label ("Marker 3" unless the operator
// gave one) and the newest frame, and waits for the next log line's marker column.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/marker.h"

namespace sensor {

class MarkerBook {
public:
    // A marker at the newest frame; an empty or blank label becomes "Marker N", N counting from 1.
    Marker mark(std::uint64_t newest_frame, const std::string& label = {});
    // The labels set since the last call, for the log line being written; a line takes them once.
    std::vector<std::string> take_for_log_line();
    int count() const { return count_; }

private:
    int count_ = 0;
    std::vector<std::string> for_log_;
};

}  // namespace sensor
