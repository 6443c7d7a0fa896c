#include "link/read_pace.h"

#include <algorithm>

namespace sensor {

std::int64_t ReadPace::wait_ms(std::int64_t now_ms) const {
    if (backlog_) return 0;
    return std::max<std::int64_t>(kFirstReadDelayMs, last_read_ms_ + kPaceMs - now_ms);
}

// A backlog is read chunk by chunk as it comes; the line's own pace again once a whole pace
// interval brings no more than a paced read would have found.
void ReadPace::read(std::int64_t now_ms, std::int64_t bytes) {
    last_read_ms_ = now_ms;
    if (!backlog_) {
        backlog_ = bytes > kBacklogBytes;
        backlog_since_ms_ = now_ms;
        backlog_bytes_ = 0;
        return;
    }
    backlog_bytes_ += bytes;
    if (now_ms - backlog_since_ms_ >= kPaceMs) {
        backlog_ = backlog_bytes_ > kBacklogBytes;
        backlog_since_ms_ = now_ms;
        backlog_bytes_ = 0;
    }
}

}  // namespace sensor
