// The rings of plotted points and their block summaries, filled one frame at a time in O(1).
#include "trends/history.h"

#include "link/frame_decoder.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace sensor {

namespace {

constexpr float kErrCode = std::numeric_limits<float>::infinity();
constexpr float kOkCode = -std::numeric_limits<float>::infinity();
constexpr float kNoneCode = std::numeric_limits<float>::quiet_NaN();

TrendPoint decode(float code) {
    if (std::isnan(code)) return {PointKind::None, 0};
    if (code == kErrCode) return {PointKind::Err, 0};
    if (code == kOkCode) return {PointKind::Ok, 0};
    return {PointKind::Value, code};
}

std::size_t block_count(std::size_t capacity) {
    // One block more than the rings can fill, plus the one being filled, so a block whose frames
    // are all held is never overwritten by a newer one.
    return capacity / History::kBlockFrames + 2;
}

}  // namespace

History::History(std::size_t capacity, std::int64_t kept_ns, std::size_t marker_capacity)
    : capacity_(capacity),
      times_(capacity),
      points_(capacity * kChannelCount),
      verdicts_(capacity * kGroundSensorCount, Verdict::Kept),
      readings_(capacity),
      numbers_(capacity),
      blocks_(block_count(capacity)),
      time_blocks_(kept_ns),
      markers_(marker_capacity) {
    if (capacity == 0) throw std::invalid_argument("a history needs room for at least one frame");
    shown_.fill(kNoneCode);
}

void History::add(std::chrono::steady_clock::time_point time, const FrameResult& frame) {
    add(std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count(), frame);
}

void History::add_marker(std::chrono::steady_clock::time_point time, const Marker& marker) {
    add_marker(std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count(), marker);
}

void History::add(std::int64_t time_ns, const FrameResult& frame) {
    if (end_ == 0) {
        origin_ns_ = time_ns;
    } else {
        time_ns = std::max(time_ns, newest_ns());
    }
    for (std::size_t m = 0; m < 3; ++m) {
        shown_[channel_index(Channel::Ultrasonic1) + m] = static_cast<float>(frame.ultrasonic_m[m]);
        float& infrared = shown_[channel_index(Channel::Infrared1) + m];
        switch (frame.infrared_cm[m].mark) {
        case InfraredMark::Number: infrared = static_cast<float>(frame.infrared_cm[m].cm); break;
        case InfraredMark::Err: infrared = kErrCode; break;
        case InfraredMark::Ok: infrared = kOkCode; break;
        case InfraredMark::Kept: break;
        }
    }
    for (std::size_t g = 0; g < kGroundSensorCount; ++g) {
        shown_[channel_index(Channel::Ground1) + g] = static_cast<float>(frame.ground[g]);
        if (frame.verdict[g] != Verdict::Kept) shown_verdict_[g] = frame.verdict[g];
    }

    const std::size_t s = slot(end_);
    if (end_ >= capacity_) held_from_ns_ = times_[s] + 1;
    times_[s] = time_ns;
    numbers_[s] = frame.index;
    Readings& r = readings_[s];
    for (std::size_t m = 0; m < 3; ++m) {
        r.infrared[m] = static_cast<std::uint16_t>(std::clamp(frame.infrared[m], 0, 0xFFFF));
        r.time_of_flight[m] = frame.time_of_flight[m];
    }
    for (std::size_t g = 0; g < kGroundSensorCount; ++g) r.ground[g] = static_cast<std::uint16_t>(std::clamp(frame.ground[g], 0, 0xFFFF));
    std::copy(shown_.begin(), shown_.end(), points_.begin() + static_cast<std::ptrdiff_t>(s * kChannelCount));
    std::copy(shown_verdict_.begin(), shown_verdict_.end(),
              verdicts_.begin() + static_cast<std::ptrdiff_t>(s * kGroundSensorCount));

    FrameSummary& block = blocks_[(end_ / kBlockFrames) % blocks_.size()];
    if (end_ % kBlockFrames == 0) block = FrameSummary{};
    add_to(end_, block);
    std::array<TrendPoint, kChannelCount> points;
    for (std::size_t c = 0; c < kChannelCount; ++c) points[c] = decode(shown_[c]);
    time_blocks_.add(time_ns, points.data(), shown_verdict_.data());
    ++end_;
}

FrameResult History::frame_at(std::uint64_t index) const {
    const std::size_t s = slot(index);
    const Readings& r = readings_[s];
    FrameResult f;
    f.index = numbers_[s];
    for (std::size_t m = 0; m < 3; ++m) {
        f.infrared[m] = r.infrared[m];
        f.time_of_flight[m] = r.time_of_flight[m];
        // As the decoder computes it: whole units of time of flight, exactly held by the float.
        f.ultrasonic_m[m] = static_cast<double>(r.time_of_flight[m]) / kTofUnitsPerFoot * kMetresPerFoot;
    }
    for (std::size_t g = 0; g < kGroundSensorCount; ++g) f.ground[g] = r.ground[g];
    return f;
}

TrendPoint History::point(std::uint64_t index, Channel channel) const {
    return decode(points_[slot(index) * kChannelCount + channel_index(channel)]);
}

Verdict History::verdict(std::uint64_t index, std::size_t ground_sensor) const {
    return verdicts_[slot(index) * kGroundSensorCount + ground_sensor];
}

void History::add_to(std::uint64_t first, std::uint64_t end, FrameSummary& summary) const {
    // Walks the slots without a division per frame: this is the reduction's inner loop.
    std::size_t s = slot(first);
    for (std::uint64_t i = first; i < end; ++i) {
        const float* codes = &points_[s * kChannelCount];
        for (std::size_t c = 0; c < kChannelCount; ++c) {
            // Marks are rare; a plain value skips decoding.
            if (std::isfinite(codes[c])) {
                summary.channels[c].add_value(codes[c]);
            } else {
                summary.channels[c].add(decode(codes[c]));
            }
        }
        const Verdict* verdicts = &verdicts_[s * kGroundSensorCount];
        for (std::size_t g = 0; g < kGroundSensorCount; ++g) {
            summary.verdicts[g].black = summary.verdicts[g].black || verdicts[g] == Verdict::Black;
            summary.verdicts[g].white = summary.verdicts[g].white || verdicts[g] == Verdict::White;
        }
        if (++s == capacity_) s = 0;
    }
}

std::uint64_t History::index_at_or_after(std::int64_t time_ns) const {
    // The held frames lie in at most two runs of slots, each in time order: search the one that
    // holds the time, without a division per step.
    const std::uint64_t begin = begin_index();
    const std::size_t held = size();
    if (held == 0) return end_;
    const std::size_t first_slot = slot(begin);
    const std::size_t first_run = std::min(held, capacity_ - first_slot);
    const auto* times = times_.data();
    if (first_run == held || time_ns <= times[first_slot + first_run - 1]) {
        const auto* found = std::lower_bound(times + first_slot, times + first_slot + first_run, time_ns);
        return begin + static_cast<std::uint64_t>(found - (times + first_slot));
    }
    const auto* found = std::lower_bound(times, times + (held - first_run), time_ns);
    return begin + first_run + static_cast<std::uint64_t>(found - times);
}

std::uint64_t History::nearest_index(std::int64_t time_ns) const {
    const std::uint64_t after = index_at_or_after(time_ns);
    if (after == begin_index()) return after;
    if (after == end_) return after - 1;
    return time_ns - time_at(after - 1) <= time_at(after) - time_ns ? after - 1 : after;
}

}  // namespace sensor
