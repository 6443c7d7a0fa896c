// Per-column reduction: each column's frames are found by time, its inner whole blocks are taken
// from their summaries and only the frames at its edges are read one by one.
#include "trends/column_reduction.h"

#include <algorithm>

namespace sensor {

namespace {

FrameSummary summarise(const History& history, std::uint64_t first, std::uint64_t end) {
    FrameSummary summary;
    constexpr std::uint64_t block = History::kBlockFrames;
    const std::uint64_t head_end = std::min(end, (first + block - 1) / block * block);
    history.add_to(first, head_end, summary);
    std::uint64_t i = head_end;
    for (; i + block <= end; i += block) summary.merge(history.block_summary(i / block));
    history.add_to(i, end, summary);
    return summary;
}

// Decides for each column with values whether its line joins the previous column with values: not
// across a frame without a value, nor across a pause in the frames.
void mark_joins(ReducedColumns& out) {
    for (std::size_t c = 0; c < kChannelCount; ++c) {
        std::vector<ChannelColumn>& column = out.channels[c];
        std::optional<std::size_t> previous;
        bool broken = false;
        for (std::size_t i = 0; i < column.size(); ++i) {
            const ChannelSummary& s = column[i].summary;
            if (s.values == 0) {
                broken = broken || s.unplottable();
                continue;
            }
            column[i].joins_previous = previous && !broken && !column[*previous].summary.break_after &&
                                       !s.break_before &&
                                       out.frames[i].first_ns - out.frames[*previous].last_ns <= kLineBreakGapNs;
            previous = i;
            broken = false;
        }
    }
}

}  // namespace

std::int64_t column_start_ns(const ReducedColumns& columns, int column) {
    const std::int64_t span = columns.end_ns - columns.begin_ns;
    if (columns.width <= 0) return columns.begin_ns;
    // Split as span × column / width without overflowing for spans of many hours at any width.
    const std::int64_t whole = span / columns.width;
    const std::int64_t rest = span % columns.width;
    return columns.begin_ns + whole * column + rest * column / columns.width;
}

void reduce_columns(const History& history, std::int64_t begin_ns, std::int64_t end_ns, int width, ReducedColumns& out) {
    width = std::max(width, 0);
    end_ns = std::max(end_ns, begin_ns);
    out.begin_ns = begin_ns;
    out.end_ns = end_ns;
    out.width = width;
    const auto columns = static_cast<std::size_t>(width);
    out.frames.assign(columns, ColumnFrames{});
    for (auto& channel : out.channels) channel.assign(columns, ChannelColumn{});
    for (auto& verdict : out.verdicts) verdict.assign(columns, VerdictSummary{});

    std::uint64_t first = history.index_at_or_after(begin_ns);
    for (int c = 0; c < width; ++c) {
        const std::uint64_t end = history.index_at_or_after(column_start_ns(out, c + 1));
        if (end > first) {
            const auto i = static_cast<std::size_t>(c);
            out.frames[i] = {static_cast<std::uint32_t>(end - first), history.time_at(first), history.time_at(end - 1)};
            const FrameSummary summary = summarise(history, first, end);
            for (std::size_t ch = 0; ch < kChannelCount; ++ch) out.channels[ch][i].summary = summary.channels[ch];
            for (std::size_t g = 0; g < kGroundSensorCount; ++g) out.verdicts[g][i] = summary.verdicts[g];
        }
        first = end;
    }
    mark_joins(out);
}

std::optional<ValueRange> value_range(const ReducedColumns& columns, std::span<const Channel> channels) {
    std::optional<ValueRange> range;
    for (const Channel channel : channels) {
        for (const ChannelColumn& column : columns.channels[channel_index(channel)]) {
            if (column.summary.values == 0) continue;
            if (!range) range = ValueRange{column.summary.min, column.summary.max};
            range->low = std::min(range->low, column.summary.min);
            range->high = std::max(range->high, column.summary.max);
        }
    }
    return range;
}

}  // namespace sensor
