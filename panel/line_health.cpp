#include "panel/line_health.h"

#include <algorithm>
#include <utility>

namespace sensor {

void LineHealth::restart(std::int64_t now_ms) {
    buckets_.fill(0);
    bucket_start_ms_ = now_ms;
    restart_ms_ = now_ms;
    last_frame_ms_ = -1;
    silence_hinted_ = false;
    judged_ = malformed_ = 0;
    judging_ = true;
}

// Moves the window on to now: buckets that fell out of the last second are emptied.
void LineHealth::advance(std::int64_t now_ms) const {
    if (restart_ms_ < 0 || now_ms < bucket_start_ms_ + kBucketMs) return;
    const std::int64_t steps = (now_ms - bucket_start_ms_) / kBucketMs;
    const auto shift = static_cast<std::size_t>(std::min<std::int64_t>(steps, kBuckets));
    std::rotate(buckets_.begin(), buckets_.begin() + static_cast<std::ptrdiff_t>(shift), buckets_.end());
    std::fill(buckets_.end() - static_cast<std::ptrdiff_t>(shift), buckets_.end(), 0u);
    bucket_start_ms_ += steps * kBucketMs;
}

LineNews LineHealth::frame(std::int64_t now_ms, int data_bytes) {
    if (restart_ms_ < 0) restart(now_ms);
    advance(now_ms);
    ++buckets_.back();
    last_frame_ms_ = now_ms;
    ++frames_;
    if (data_bytes < 16) ++short_;
    if (data_bytes > 16) ++wrapped_;
    if (!judging_) return LineNews::None;
    ++judged_;
    if (data_bytes != 16) ++malformed_;
    if (judged_ < kJudgedFrames) return LineNews::None;
    judging_ = false;
    const bool hinted = std::exchange(silence_hinted_, false);
    if (2 * malformed_ > judged_) return LineNews::FramesMalformed;
    return hinted ? LineNews::FramesArrive : LineNews::None;
}

bool LineHealth::stale(std::int64_t now_ms, bool open) const {
    return frames_ > 0 && (!open || quiet_ms(now_ms) >= kStaleMs);
}

bool LineHealth::take_silence_hint(std::int64_t now_ms) {
    if (silence_hinted_ || any_frame_since_restart() || quiet_ms(now_ms) < kSilenceHintMs) return false;
    silence_hinted_ = true;
    judging_ = true;
    judged_ = malformed_ = 0;
    return true;
}

double LineHealth::frames_per_second(std::int64_t now_ms) const {
    if (restart_ms_ < 0) return 0;
    advance(now_ms);
    std::uint64_t sum = 0;
    for (std::uint32_t n : buckets_) sum += n;
    // Over the last second, or over the time since the restart while that is shorter, so the
    // first second already shows the true rate.
    const std::int64_t covered =
        std::min<std::int64_t>(now_ms - restart_ms_, static_cast<std::int64_t>(kBuckets - 1) * kBucketMs + (now_ms - bucket_start_ms_));
    return static_cast<double>(sum) * 1000.0 / static_cast<double>(std::max<std::int64_t>(covered, 1));
}

std::int64_t LineHealth::quiet_ms(std::int64_t now_ms) const {
    if (restart_ms_ < 0) return -1;
    return now_ms - (last_frame_ms_ >= 0 ? last_frame_ms_ : restart_ms_);
}

}  // namespace sensor
