#include "panel/status_pace.h"

namespace sensor {

bool StatusPace::due_on_tick(std::int64_t now_ms, std::int64_t tick_interval_ms) const {
    return !last_ms_ || now_ms - *last_ms_ >= kIntervalMs - tick_interval_ms / 2;
}

std::int64_t StatusPace::updated(std::int64_t now_ms) {
    last_ms_ = now_ms;
    return kIntervalMs;
}

}  // namespace sensor
