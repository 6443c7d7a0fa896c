// The redraw pace: the earliest of the changes' deadlines, never within the gap after a redraw.
#include "trends/redraw_gate.h"

#include <algorithm>

namespace sensor {

void RedrawGate::changed(std::int64_t now_ns, std::int64_t gap_ns) {
    gap_ns = std::max(gap_ns, kMinGapNs);
    const std::int64_t due = last_drawn_ns_ ? std::max(now_ns, *last_drawn_ns_ + gap_ns) : now_ns;
    due_ns_ = dirty_ ? std::min(due_ns_, due) : due;
    dirty_ = true;
}

std::optional<std::int64_t> RedrawGate::due_ns() const {
    if (!shown_ || paused_ || !dirty_) return std::nullopt;
    // A change that waited while hidden or paused is not held back further.
    return last_drawn_ns_ ? std::max(due_ns_, *last_drawn_ns_ + kMinGapNs) : due_ns_;
}

void RedrawGate::drawn(std::int64_t now_ns) {
    dirty_ = false;
    last_drawn_ns_ = now_ns;
}

}  // namespace sensor
