// The display's pace: what shows frames (the cells, the status line, Trends) follows one tick, at
// most one per interval while frames arrive, at once after a quiet spell, never while idle.
// Times are milliseconds of a monotonic clock, given by the caller.
#pragma once

#include <cstdint>
#include <optional>

#include "link/read_pace.h"

namespace sensor {

class DisplayPace {
public:
    // Numbers that change faster than this cannot be read; a frame still shows within 70 ms. The
    // port is read on the same pace, so the wake that reads a frame also shows it.
    static constexpr std::int64_t kIntervalMs = ReadPace::kPaceMs;
    // A change this close to the interval's end is shown now rather than waking again a few
    // milliseconds later.
    static constexpr std::int64_t kSlackMs = 10;

    // Something to show changed at now_ms. Returns how long until the tick: 0 to tick now, more to
    // wait; nothing when a tick is already due (the waiting one shows this change too).
    std::optional<std::int64_t> request(std::int64_t now_ms);
    // The tick happened.
    void ticked(std::int64_t now_ms);
    bool pending() const { return pending_; }

private:
    std::optional<std::int64_t> last_tick_ms_;
    bool pending_ = false;
};

}  // namespace sensor
