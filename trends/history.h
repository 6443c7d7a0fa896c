// The recent past of every plotted quantity: fixed-capacity rings of points with a monotonic time
// stamp per frame, plus a summary per block of frames so a long span is reduced without reading
// each frame; the frames' raw readings and numbers, so the frames in view can be exported as the
// cells showed them; 100 ms blocks for eight hours once the frames are gone; and the markers.
// Memory is allocated once; a run of any length costs the same.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "link/frame_result.h"
#include "link/marker.h"
#include "trends/marker_store.h"
#include "trends/time_blocks.h"
#include "trends/trend_summary.h"

namespace sensor {

class History {
public:
    // Ten minutes at the line rate: 19200 baud, 10 bits a byte, 17 bytes a frame.
    static constexpr std::size_t kDefaultCapacity = 68'000;
    // Frames per summary block. A pixel column at the ten-minute span holds about 68 frames:
    // whole blocks cover most of it, and the frames read one by one at its edges stay few.
    static constexpr std::uint64_t kBlockFrames = 16;

    explicit History(std::size_t capacity = kDefaultCapacity, std::int64_t kept_ns = TimeBlocks::kDefaultKeptNs,
                     std::size_t marker_capacity = MarkerStore::kDefaultCapacity);

    // A time earlier than the newest one held is taken as the newest, so the rings stay ordered.
    void add(std::int64_t time_ns, const FrameResult& frame);
    void add(std::chrono::steady_clock::time_point time, const FrameResult& frame);

    // A marker the operator set, at time_ns on the frames' clock.
    void add_marker(std::int64_t time_ns, const Marker& marker) { markers_.add(time_ns, marker); }
    void add_marker(std::chrono::steady_clock::time_point time, const Marker& marker);
    const MarkerStore& markers() const { return markers_; }

    std::size_t capacity() const { return capacity_; }
    std::size_t size() const { return static_cast<std::size_t>(end_ - begin_index()); }
    bool empty() const { return end_ == 0; }

    // Frames are numbered from 0 for the first ever added; the rings hold [begin_index, end_index).
    std::uint64_t begin_index() const { return end_ > capacity_ ? end_ - capacity_ : 0; }
    std::uint64_t end_index() const { return end_; }

    // For an index in [begin_index, end_index).
    std::int64_t time_at(std::uint64_t index) const { return times_[slot(index)]; }
    TrendPoint point(std::uint64_t index, Channel channel) const;
    Verdict verdict(std::uint64_t index, std::size_t ground_sensor) const;
    // The frame as decoded, rebuilt from what is kept: its number (FrameResult::index), raw
    // readings, times of flight and ultrasonic distances. The infrared distances and verdicts
    // are left Kept: they follow from the readings by the evaluation's rules.
    FrameResult frame_at(std::uint64_t index) const;
    // Appends held frames [first, end) to a summary of the frames just before them.
    void add_to(std::uint64_t first, std::uint64_t end, FrameSummary& summary) const;
    void add_to(std::uint64_t index, FrameSummary& summary) const { add_to(index, index + 1, summary); }

    // The first held frame stamped at or after `time_ns`; end_index() when there is none.
    std::uint64_t index_at_or_after(std::int64_t time_ns) const;
    // The held frame stamped nearest to `time_ns`, the earlier one on a tie; only when not empty.
    std::uint64_t nearest_index(std::int64_t time_ns) const;

    // Every frame stamped at or after this time is still held one by one.
    std::int64_t held_from_ns() const { return held_from_ns_; }

    // The time of the first frame ever added, kept after it leaves the rings: the origin of the
    // run time shown on the time axis.
    std::int64_t origin_ns() const { return origin_ns_; }
    std::int64_t newest_ns() const { return empty() ? 0 : time_at(end_ - 1); }

    // The summary of frames [block × kBlockFrames, (block + 1) × kBlockFrames); valid only when
    // all of them are held.
    const FrameSummary& block_summary(std::uint64_t block) const { return blocks_[block % blocks_.size()]; }
    // What the frames amounted to per 100 ms, for eight hours.
    const TimeBlocks& time_blocks() const { return time_blocks_; }

private:
    // What the export needs beyond the plotted points: the 8 numbers every cell follows from.
    struct Readings {
        std::array<std::uint16_t, 3> infrared{};
        std::array<std::uint16_t, kGroundSensorCount> ground{};
        std::array<float, 3> time_of_flight{};
    };

    std::size_t slot(std::uint64_t index) const { return static_cast<std::size_t>(index % capacity_); }

    std::size_t capacity_;
    std::uint64_t end_ = 0;
    std::int64_t origin_ns_ = 0;
    std::int64_t held_from_ns_ = std::numeric_limits<std::int64_t>::min();
    std::vector<std::int64_t> times_;
    // Per channel, one float per frame: the value, or an infinity / NaN standing for a mark.
    std::vector<float> points_;
    std::vector<Verdict> verdicts_;  // kGroundSensorCount per frame
    std::vector<Readings> readings_;
    std::vector<std::uint64_t> numbers_;
    std::vector<FrameSummary> blocks_;
    TimeBlocks time_blocks_;
    MarkerStore markers_;
    // What a cell that keeps its text goes on showing.
    std::array<float, kChannelCount> shown_{};
    std::array<Verdict, kGroundSensorCount> shown_verdict_{Verdict::Kept, Verdict::Kept};
};

}  // namespace sensor
