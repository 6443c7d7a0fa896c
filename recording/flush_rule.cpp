#include "recording/flush_rule.h"

namespace sensor {

bool FlushRule::held(std::int64_t now_ms, std::int64_t held_bytes) {
    if (held_bytes <= 0) return false;
    if (!oldest_ms_) oldest_ms_ = now_ms;
    return held_bytes >= kMaxHeldBytes || due(now_ms);
}

bool FlushRule::due(std::int64_t now_ms) const { return oldest_ms_ && now_ms - *oldest_ms_ >= kMaxWaitMs; }

std::optional<std::int64_t> FlushRule::deadline_ms() const {
    if (!oldest_ms_) return std::nullopt;
    return *oldest_ms_ + kMaxWaitMs;
}

}  // namespace sensor
