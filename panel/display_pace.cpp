#include "panel/display_pace.h"

namespace sensor {

std::optional<std::int64_t> DisplayPace::request(std::int64_t now_ms) {
    if (pending_) return std::nullopt;
    pending_ = true;
    const std::int64_t since = last_tick_ms_ ? now_ms - *last_tick_ms_ : kIntervalMs;
    return since >= kIntervalMs - kSlackMs ? 0 : kIntervalMs - since;
}

void DisplayPace::ticked(std::int64_t now_ms) {
    pending_ = false;
    last_tick_ms_ = now_ms;
}

}  // namespace sensor
