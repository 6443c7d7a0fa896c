// The history reduced to what a plot of a given width can show: per pixel column the extremes of
// every quantity over the frames that fall in it, so a one-frame spike is never lost and drawing
// costs grow with the width, not with the span.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "trends/history.h"
#include "trends/trend_summary.h"

namespace sensor {

// Frames further apart than this are not joined by a line: the board stopped sending meanwhile.
inline constexpr std::int64_t kLineBreakGapNs = 1'000'000'000;

struct ChannelColumn {
    ChannelSummary summary;
    bool joins_previous = false;  // a line runs from the previous column with values to this one
};

struct ColumnFrames {
    std::uint32_t count = 0;
    std::int64_t first_ns = 0;
    std::int64_t last_ns = 0;
};

// Column c covers the times [begin_ns + c × (end_ns − begin_ns) / width, the next column's start).
struct ReducedColumns {
    std::int64_t begin_ns = 0;
    std::int64_t end_ns = 0;
    int width = 0;
    std::vector<ColumnFrames> frames;
    std::array<std::vector<ChannelColumn>, kChannelCount> channels;
    std::array<std::vector<VerdictSummary>, kGroundSensorCount> verdicts;

    const ChannelColumn& at(Channel channel, int column) const {
        return channels[channel_index(channel)][static_cast<std::size_t>(column)];
    }
};

// Reduces the frames stamped in [begin_ns, end_ns) into `width` columns. Reuses `out`'s storage,
// so a plot that keeps its width allocates nothing after the first call. Whole blocks of frames
// inside a column are taken from the history's block summaries.
void reduce_columns(const History& history, std::int64_t begin_ns, std::int64_t end_ns, int width, ReducedColumns& out);

// The column's start time, as the reduction cut it.
std::int64_t column_start_ns(const ReducedColumns& columns, int column);

struct ValueRange {
    float low = 0;
    float high = 0;
};

// The lowest and highest value of the given channels over all columns; none when no column holds
// a value.
std::optional<ValueRange> value_range(const ReducedColumns& columns, std::span<const Channel> channels);

}  // namespace sensor
