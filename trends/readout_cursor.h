// Where the keyboard's readout cursor goes in a view: frame by frame where the frames are held one
// by one, column by column where only their time blocks are left. It stays within the view.
#pragma once

#include <cstdint>
#include <optional>

#include "trends/column_reduction.h"
#include "trends/history.h"

namespace sensor {

struct ReadoutCursor {
    std::optional<std::uint64_t> frame;  // a history index, when on a frame held one by one
    std::int64_t time_ns = 0;            // the frame's time, or the start of the column it is on
    bool operator==(const ReadoutCursor&) const = default;
};

enum class CursorMove { Previous, Next, First, Last };

// The cursor after a move; a cursor that is none or out of view starts at the newest frame in view
// (the oldest for First). None when the view holds no frame.
std::optional<ReadoutCursor> move_cursor(const History& history, const ReducedColumns& columns, std::optional<ReadoutCursor> from,
                                         CursorMove move);

}  // namespace sensor
