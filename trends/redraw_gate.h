// When the Trends plots are redrawn: only while they are shown and not paused, only when something
// changed the picture, at most 30 times a second, and the view moving on at most 10 times a
// second. Told the time; a timer only wakes it.
#pragma once

#include <cstdint>
#include <optional>

namespace sensor {

class RedrawGate {
public:
    // 1000 / 34 is under 30, so no second holds more than 30 redraws.
    static constexpr std::int64_t kMinGapNs = 34'000'000;
    // A view moving on is followed ten times a second: smooth enough to read a trend by, and a
    // third of what thirty times costs, where a redraw's cost is mostly the window system's.
    static constexpr std::int64_t kMoveGapNs = 100'000'000;

    void set_shown(bool shown) { shown_ = shown; }
    void set_paused(bool paused) { paused_ = paused; }
    bool shown() const { return shown_; }
    bool paused() const { return paused_; }

    // The picture changed at now_ns. It is redrawn no sooner than `gap_ns` after the last redraw:
    // a change that only reshapes the newest column may wait up to a column's time, so a long span
    // costs a redraw per column rather than one per frame.
    void changed(std::int64_t now_ns, std::int64_t gap_ns = kMinGapNs);

    // When the next redraw is due; none while hidden, paused or unchanged.
    std::optional<std::int64_t> due_ns() const;
    bool pending() const { return dirty_; }

    void drawn(std::int64_t now_ns);

private:
    bool shown_ = false;
    bool paused_ = false;
    bool dirty_ = false;
    std::optional<std::int64_t> last_drawn_ns_;
    std::int64_t due_ns_ = 0;
};

}  // namespace sensor
