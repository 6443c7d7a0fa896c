#include "recording/replay_pace.h"

#include <algorithm>
#include <cmath>

#include "recording/recorded_time.h"

namespace sensor {

void ReplayPace::anchor(std::int64_t now_us, std::int64_t at_us) {
    anchor_now_us_ = now_us;
    anchor_recorded_us_ = at_us;
    delivered_us_ = at_us;
}

std::int64_t ReplayPace::stands_at(std::int64_t now_us) const {
    if (paused_) return anchor_recorded_us_;
    return fastest() || by_bytes_ ? delivered_us_ : played_us(now_us);
}

void ReplayPace::start(std::int64_t now_us, std::int64_t from_us) { anchor(now_us, from_us); }

void ReplayPace::pause(std::int64_t now_us) {
    if (paused_) return;
    anchor(now_us, stands_at(now_us));
    paused_ = true;
}

void ReplayPace::resume(std::int64_t now_us) {
    if (!paused_) return;
    paused_ = false;
    anchor(now_us, anchor_recorded_us_);
}

bool ReplayPace::set_speed(double speed, std::int64_t now_us) {
    if (!(speed > 0)) return false;
    anchor(now_us, stands_at(now_us));
    speed_ = speed;
    return true;
}

void ReplayPace::delivered(std::int64_t us) { delivered_us_ = std::max(delivered_us_, us); }

std::int64_t ReplayPace::played_us(std::int64_t now_us) const {
    if (paused_) return anchor_recorded_us_;
    if (fastest()) return kEverything;
    const double elapsed = static_cast<double>(std::max<std::int64_t>(0, now_us - anchor_now_us_));
    return anchor_recorded_us_ + static_cast<std::int64_t>(std::floor(elapsed * speed_));
}

std::int64_t ReplayPace::due_at(std::int64_t recorded_us, std::int64_t now_us) const {
    if (paused_) return -1;
    if (due(recorded_us, now_us)) return now_us;
    auto at = anchor_now_us_ + static_cast<std::int64_t>(std::ceil(static_cast<double>(recorded_us - anchor_recorded_us_) / speed_));
    // Rounding of a speed that is not a power of two may leave it a microsecond early.
    while (!due(recorded_us, at)) ++at;
    return std::max(at, now_us);
}

std::int64_t ReplayPace::raw_bytes_due(std::int64_t now_us) const { return line_bytes_by(played_us(now_us)); }

}  // namespace sensor
