// Per-column reduction: a column of frames still held is summed from the frame blocks and the
// frames at its edges; one of whole time blocks, or whose frames are gone, from the time blocks.
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

}  // namespace

int ReducedColumns::first_with_frames() const {
    for (int c = 0; c < width(); ++c) {
        if (frames(c).count > 0) return c;
    }
    return width();
}

ReducedColumns::Source ReducedColumns::source_for(const History& history, int column) const {
    const std::int64_t start = column_start_ns(column);
    const bool whole_blocks = grid_.column_ns() % TimeBlocks::kBlockNs == 0;
    if (!whole_blocks && start >= history.held_from_ns()) return Source::Frames;
    return start >= history.time_blocks().kept_from_ns() ? Source::Blocks : Source::PartlyKeptBlocks;
}

void ReducedColumns::reduce(const History& history, int from, int to) {
    std::uint64_t first = history.index_at_or_after(column_start_ns(from));
    for (int c = from; c < to; ++c) {
        Column& column = get(c);
        column = Column{};
        column.source = source_for(history, c);
        const std::int64_t end_ns = column_start_ns(c + 1);
        FrameSummary summary;
        if (column.source == Source::Frames) {
            const std::uint64_t end = history.index_at_or_after(end_ns);
            if (end > first) {
                column.frames = {static_cast<std::uint32_t>(end - first), history.time_at(first), history.time_at(end - 1)};
                summary = summarise(history, first, end);
            }
            first = end;
        } else {
            history.time_blocks().add_to(column_start_ns(c), end_ns, summary, column.frames.count, column.frames.first_ns,
                                         column.frames.last_ns);
            first = history.index_at_or_after(end_ns);
        }
        for (std::size_t ch = 0; ch < kChannelCount; ++ch) column.channels[ch].summary = summary.channels[ch];
        column.verdicts = summary.verdicts;
    }
}

int ReducedColumns::previous_with_values(Channel channel, int column) const {
    for (int c = column - 1; c >= -lead_; --c) {
        if (at(channel, c).summary.values > 0) return c;
    }
    return -lead_ - 1;
}

// Decides for each column from `from` on with values whether its line joins the previous column
// with values: not across a frame without a value, nor across a pause in the frames.
void ReducedColumns::mark_joins(int from) {
    for (std::size_t ch = 0; ch < kChannelCount; ++ch) {
        int previous = previous_with_values(static_cast<Channel>(ch), from);
        bool have_previous = previous >= -lead_;
        bool broken = false;
        for (int c = std::max(previous + 1, -lead_); c < from; ++c) broken = broken || get(c).channels[ch].summary.unplottable();
        for (int c = from; c < width(); ++c) {
            ChannelColumn& column = get(c).channels[ch];
            const ChannelSummary& s = column.summary;
            if (s.values == 0) {
                column.joins_previous = false;
                broken = broken || s.unplottable();
                continue;
            }
            column.joins_previous = have_previous && !broken && !get(previous).channels[ch].summary.break_after &&
                                    !s.break_before && line_joins(frames(previous).last_ns, frames(c).first_ns);
            previous = c;
            have_previous = true;
            broken = false;
        }
    }
}

void reduce_columns(const History& history, const ViewGrid& grid, std::int64_t end_ns, ReducedColumns& out) {
    out.grid_ = grid;
    out.end_ns_ = end_ns;
    // Far enough back to find the last column a line in view may join: a second and a column.
    out.lead_ = static_cast<int>((kLineBreakGapNs + grid.column_ns() - 1) / grid.column_ns()) + 1;
    out.ring_.resize(static_cast<std::size_t>(out.lead_ + grid.width()));
    out.origin_ = 0;
    out.reduce(history, -out.lead_, grid.width());
    out.changed_from_ = -out.lead_;
    out.mark_joins(-out.lead_);
    out.reduced_any_ = !history.empty();
    out.reduced_newest_ns_ = history.newest_ns();
}

void advance_columns(const History& history, std::int64_t end_ns, ReducedColumns& out) {
    const std::int64_t shift = out.grid_.shift(out.end_ns_, end_ns);
    const auto count = static_cast<std::int64_t>(out.ring_.size());
    if (out.ring_.empty() || shift < 0 || shift >= count || !out.reduced_any_) {
        reduce_columns(history, out.grid_, end_ns, out);
        return;
    }
    out.origin_ = (out.origin_ + static_cast<std::size_t>(shift)) % out.ring_.size();
    out.end_ns_ = end_ns;
    // Frames added since can only have gone into the column that held the newest frame or later.
    const int changed_from = static_cast<int>(std::clamp<std::int64_t>(
        out.grid_.column_of(out.reduced_newest_ns_, end_ns), -out.lead_, out.width() - shift));
    int first = changed_from;
    // Only a column starting before the frames held, or before the blocks kept, can have changed
    // where its sums come from; both times only move on.
    const std::int64_t sources_move_before = std::max(history.held_from_ns(), history.time_blocks().kept_from_ns());
    for (int c = -out.lead_; c < changed_from && out.column_start_ns(c) < sources_move_before; ++c) {
        const ReducedColumns::Source source = out.source_for(history, c);
        if (source != out.get(c).source || source == ReducedColumns::Source::PartlyKeptBlocks) {
            out.reduce(history, c, c + 1);
            first = std::min(first, c);
        }
    }
    out.reduce(history, changed_from, out.width());
    out.changed_from_ = first;
    // The column a quantity's first value in the ring joined has moved out of it.
    for (std::size_t ch = 0; ch < kChannelCount; ++ch) {
        for (int c = -out.lead_; c < first; ++c) {
            ChannelColumn& column = out.get(c).channels[ch];
            if (column.summary.values == 0) continue;
            column.joins_previous = false;
            break;
        }
    }
    out.mark_joins(first);
    out.reduced_newest_ns_ = history.newest_ns();
}

bool changes_newest_column(const History& history, const ReducedColumns& columns, std::uint64_t index) {
    const int last = columns.width() - 1;
    if (last < 0) return false;
    FrameSummary with;
    for (std::size_t c = 0; c < kChannelCount; ++c) with.channels[c] = columns.at(static_cast<Channel>(c), last).summary;
    for (std::size_t g = 0; g < kGroundSensorCount; ++g) with.verdicts[g] = columns.verdict(g, last);
    const FrameSummary before = with;
    history.add_to(index, with);
    for (std::size_t c = 0; c < kChannelCount; ++c) {
        const ChannelSummary& a = before.channels[c];
        const ChannelSummary& b = with.channels[c];
        if ((a.values == 0) != (b.values == 0) || a.min != b.min || a.max != b.max || a.err != b.err || a.ok != b.ok) {
            return true;
        }
    }
    for (std::size_t g = 0; g < kGroundSensorCount; ++g) {
        if (before.verdicts[g].black != with.verdicts[g].black || before.verdicts[g].white != with.verdicts[g].white) {
            return true;
        }
    }
    return false;
}

}  // namespace sensor
