// The cursor's stops, oldest first: the columns before the first frame held in view, then each
// frame held in view.
#include "trends/readout_cursor.h"

namespace sensor {

namespace {

class Stops {
public:
    Stops(const History& history, const ReducedColumns& columns) : history_(history), columns_(columns) {
        first_frame_ = history.index_at_or_after(std::max(columns.begin_ns(), history.held_from_ns()));
        end_frame_ = history.index_at_or_after(columns.end_ns());
        // Columns wholly before the first held frame in view stand for the frames no longer held.
        const std::int64_t frames_from = first_frame_ < end_frame_ ? history.time_at(first_frame_) : columns.end_ns();
        column_end_ = columns.width();
        while (column_end_ > 0 && columns.column_start_ns(column_end_ - 1) + columns.grid().column_ns() > frames_from) --column_end_;
    }

    std::optional<ReadoutCursor> first() const {
        if (const auto c = column_from(0, +1)) return column(*c);
        return frame_at(first_frame_);
    }

    std::optional<ReadoutCursor> last() const {
        if (end_frame_ > first_frame_) return frame_at(end_frame_ - 1);
        if (const auto c = column_from(column_end_ - 1, -1)) return column(*c);
        return std::nullopt;
    }

    bool contains(const ReadoutCursor& at) const {
        if (at.frame) return *at.frame >= first_frame_ && *at.frame < end_frame_;
        const auto c = columns_.grid().column_of(at.time_ns, columns_.end_ns());
        return c >= 0 && c < column_end_;
    }

    std::optional<ReadoutCursor> step(const ReadoutCursor& at, int direction) const {
        if (at.frame) {
            const std::uint64_t i = *at.frame;
            if (direction > 0 && i + 1 < end_frame_) return frame_at(i + 1);
            if (direction < 0 && i > first_frame_) return frame_at(i - 1);
            if (direction < 0) {
                if (const auto c = column_from(column_end_ - 1, -1)) return column(*c);
            }
            return at;
        }
        const auto c = static_cast<int>(columns_.grid().column_of(at.time_ns, columns_.end_ns()));
        if (const auto next = column_from(c + direction, direction)) return column(*next);
        if (direction > 0 && end_frame_ > first_frame_) return frame_at(first_frame_);
        return at;
    }

private:
    std::optional<int> column_from(int c, int direction) const {
        for (; c >= 0 && c < column_end_; c += direction) {
            if (columns_.frames(c).count > 0) return c;
        }
        return std::nullopt;
    }
    ReadoutCursor column(int c) const { return {std::nullopt, columns_.column_start_ns(c)}; }
    std::optional<ReadoutCursor> frame_at(std::uint64_t i) const {
        if (i >= end_frame_) return std::nullopt;
        return ReadoutCursor{i, history_.time_at(i)};
    }

    const History& history_;
    const ReducedColumns& columns_;
    std::uint64_t first_frame_ = 0;
    std::uint64_t end_frame_ = 0;
    int column_end_ = 0;
};

}  // namespace

std::optional<ReadoutCursor> move_cursor(const History& history, const ReducedColumns& columns, std::optional<ReadoutCursor> from,
                                         CursorMove move) {
    const Stops stops(history, columns);
    if (move == CursorMove::First) return stops.first();
    if (move == CursorMove::Last || !from || !stops.contains(*from)) return stops.last();
    return stops.step(*from, move == CursorMove::Next ? +1 : -1);
}

}  // namespace sensor
