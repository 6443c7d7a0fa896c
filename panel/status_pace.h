// When the status line's counts are brought up to date: at most about twice a second. While
// display ticks come it rides on them, painted with the cells in one pass; when they stop, a
// timer of its own takes over. A change of state or a message shows at once, outside this pace.
// Times are milliseconds of a monotonic clock, given by the caller.
#pragma once

#include <cstdint>
#include <optional>

namespace sensor {

class StatusPace {
public:
    static constexpr std::int64_t kIntervalMs = 500;

    // A display tick at now_ms: true when the counts are due with it. A tick comes at most every
    // display interval, so the counts may go up to half of one early rather than wait a whole one.
    bool due_on_tick(std::int64_t now_ms, std::int64_t tick_interval_ms) const;
    // The counts were brought up to date: the timer of its own is next due this much later.
    std::int64_t updated(std::int64_t now_ms);

private:
    std::optional<std::int64_t> last_ms_;
};

}  // namespace sensor
