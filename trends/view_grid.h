// The time axis of a view: its span cut into pixel columns of whole nanoseconds, ending where the
// column holding the newest frame ends, so the picture moves on in whole columns. Columns of a
// long span are whole time blocks, so each is summed exactly from the blocks kept.
#pragma once

#include <cstdint>
#include <string>

namespace sensor {

class ViewGrid {
public:
    ViewGrid() = default;
    // Columns are the smallest multiple of quantum_ns that fits the span into `width` columns.
    ViewGrid(std::int64_t span_ns, int width, std::int64_t quantum_ns = 1);

    std::int64_t column_ns() const { return column_ns_; }
    int width() const { return width_; }
    std::int64_t span_ns() const { return column_ns_ * width_; }

    // The end of a view whose newest column holds a frame stamped newest_ns.
    std::int64_t end_after(std::int64_t newest_ns) const { return column_start(newest_ns) + column_ns_; }
    // The start of the column a time falls in.
    std::int64_t column_start(std::int64_t time_ns) const;
    // A column's number counted from time zero, so it stays with its time as the view moves on.
    std::int64_t absolute_column(std::int64_t time_ns) const { return column_start(time_ns) / column_ns_; }
    std::int64_t begin(std::int64_t end_ns) const { return end_ns - span_ns(); }
    // The column a time falls in, in a view ending at end_ns; outside [0, width) when not in view.
    std::int64_t column_of(std::int64_t time_ns, std::int64_t end_ns) const;
    // How many columns a view ending at to_end has moved on from one ending at from_end.
    std::int64_t shift(std::int64_t from_end, std::int64_t to_end) const { return (to_end - from_end) / column_ns_; }

    bool operator==(const ViewGrid&) const = default;

private:
    std::int64_t column_ns_ = 1;
    int width_ = 0;
};

// A span as the window and the benchmarks name it: "10 s", "1 min", "8 h".
std::string span_text(int seconds);

}  // namespace sensor
