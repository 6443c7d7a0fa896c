// Columns on a grid of whole nanoseconds counted from time zero.
#include "trends/view_grid.h"
#include "trends/floor_div.h"

#include <algorithm>

namespace sensor {

ViewGrid::ViewGrid(std::int64_t span_ns, int width, std::int64_t quantum_ns) : width_(std::max(width, 0)) {
    quantum_ns = std::max<std::int64_t>(quantum_ns, 1);
    const std::int64_t per_column = span_ns / std::max(width_, 1) + (span_ns % std::max(width_, 1) != 0 ? 1 : 0);
    column_ns_ = std::max(quantum_ns, (per_column + quantum_ns - 1) / quantum_ns * quantum_ns);
}

std::int64_t ViewGrid::column_start(std::int64_t time_ns) const { return floor_div(time_ns, column_ns_) * column_ns_; }

std::int64_t ViewGrid::column_of(std::int64_t time_ns, std::int64_t end_ns) const {
    return floor_div(time_ns - begin(end_ns), column_ns_);
}

std::string span_text(int seconds) {
    if (seconds < 60) return std::to_string(seconds) + " s";
    if (seconds < 3600) return std::to_string(seconds / 60) + " min";
    return std::to_string(seconds / 3600) + " h";
}

}  // namespace sensor
