// The history reduced to what a plot of a given width can show: per pixel column the extremes of
// every quantity over the frames that fall in it, so a one-frame spike is never lost and drawing
// costs grow with the width, not with the span. A view that moves on sums only the columns that
// can have changed.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "trends/history.h"
#include "trends/line_break.h"
#include "trends/trend_summary.h"
#include "trends/view_grid.h"

namespace sensor {

struct ValueRange {
    float low = 0;
    float high = 0;
    bool operator==(const ValueRange&) const = default;
};

struct ChannelColumn {
    ChannelSummary summary;
    bool joins_previous = false;  // a line runs from the previous column with values to this one
};

struct ColumnFrames {
    std::uint32_t count = 0;
    std::int64_t first_ns = 0;
    std::int64_t last_ns = 0;
};

// Columns -lead to width − 1 of a view: column c covers [begin_ns + c × column_ns, the next
// column's start). The lead columns, just before the view, only decide whether the first lines
// in view join one that comes from its left edge.
class ReducedColumns {
public:
    const ViewGrid& grid() const { return grid_; }
    int width() const { return grid_.width(); }
    int lead() const { return lead_; }
    std::int64_t end_ns() const { return end_ns_; }
    std::int64_t begin_ns() const { return grid_.begin(end_ns_); }
    std::int64_t column_start_ns(int column) const { return begin_ns() + column * grid_.column_ns(); }
    bool empty() const { return ring_.empty(); }

    // For a column in [-lead, width).
    const ChannelColumn& at(Channel channel, int column) const { return get(column).channels[channel_index(channel)]; }
    const ColumnFrames& frames(int column) const { return get(column).frames; }
    const VerdictSummary& verdict(std::size_t ground_sensor, int column) const { return get(column).verdicts[ground_sensor]; }
    // The first column in view holding a frame, or width() when none does.
    int first_with_frames() const;
    // The first column whose sums or joins the last reduction or move on may have changed; the
    // columns before it hold what they held, moved with their time. -lead after a reduction.
    int changed_from() const { return changed_from_; }
    // The last column before `column` (and from -lead on) where the quantity has a value; none
    // gives -lead - 1.
    int previous_with_values(Channel channel, int column) const;

private:
    friend void reduce_columns(const History&, const ViewGrid&, std::int64_t, ReducedColumns&);
    friend void advance_columns(const History&, std::int64_t, ReducedColumns&);

    // Where a column's sums came from, so one whose frames have left the rings is summed again.
    enum class Source : std::uint8_t { Frames, Blocks, PartlyKeptBlocks };
    struct Column {
        ColumnFrames frames;
        std::array<ChannelColumn, kChannelCount> channels{};
        std::array<VerdictSummary, kGroundSensorCount> verdicts{};
        Source source = Source::Frames;
    };

    const Column& get(int column) const { return ring_[index(column)]; }
    Column& get(int column) { return ring_[index(column)]; }
    std::size_t index(int column) const {
        const std::size_t i = origin_ + static_cast<std::size_t>(column + lead_);
        return i < ring_.size() ? i : i - ring_.size();
    }
    Source source_for(const History& history, int column) const;
    void reduce(const History& history, int from, int to);
    void mark_joins(int from);

    ViewGrid grid_;
    int lead_ = 0;
    std::int64_t end_ns_ = 0;
    std::int64_t reduced_newest_ns_ = 0;
    bool reduced_any_ = false;
    std::vector<Column> ring_;
    std::size_t origin_ = 0;  // ring_ index of column -lead
    int changed_from_ = 0;
};

// Reduces the view ending at end_ns (a column boundary of the grid). Reuses `out`'s storage, so a
// plot that keeps its width allocates nothing after the first call.
void reduce_columns(const History& history, const ViewGrid& grid, std::int64_t end_ns, ReducedColumns& out);

// Moves the view on to end_ns, on the grid it has and no earlier, and sums again only the columns
// that can have changed: those the view moved on to, the newest ones summed before, and any whose
// frames left the rings since. The result equals reduce_columns for the same end.
void advance_columns(const History& history, std::int64_t end_ns, ReducedColumns& out);

// Whether the held frame `index`, added to the newest column of `columns`, changes how that column
// is drawn: its extremes, marks or verdicts. Its first and last values only matter for joining a
// neighbour, and a new neighbour moves the view on anyway.
bool changes_newest_column(const History& history, const ReducedColumns& columns, std::uint64_t index);

}  // namespace sensor
