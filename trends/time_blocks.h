// What every 100 ms of the run amounted to, kept for eight hours after the frames themselves are
// gone: per quantity its extremes, first and last values and marks, the verdicts seen, and when the
// block's first and last frames came. Blocks of 1 s and 10 s are kept beside them, so a column of
// many minutes is summed from a few dozen blocks. Memory is allocated once, zeroed by the system
// as it is first used, so a short run stays small.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "link/frame_result.h"
#include "trends/trend_summary.h"

namespace sensor {

// A block's frames, packed: the values as a ChannelSummary holds them, a byte of marks per quantity.
struct TimeBlock {
    enum Flag : std::uint8_t { HasValues = 1, Err = 2, Ok = 4, None = 8, BreakBefore = 16, BreakAfter = 32 };

    std::array<float, kChannelCount> min{};
    std::array<float, kChannelCount> max{};
    std::array<float, kChannelCount> first{};
    std::array<float, kChannelCount> last{};
    std::int64_t first_ns = 0;
    std::int64_t last_ns = 0;
    std::uint32_t frames = 0;
    std::array<std::uint8_t, kChannelCount> flags{};
    // Bit 2g: ground sensor g said "black"; bit 2g + 1: "white".
    std::uint8_t verdicts = 0;

    // `codes` holds a frame's point per quantity as History keeps them.
    void add(std::int64_t time_ns, const TrendPoint* points, const Verdict* verdict);
    ChannelSummary channel(std::size_t c) const;
    VerdictSummary verdict(std::size_t g) const { return {(verdicts >> (2 * g) & 1) != 0, (verdicts >> (2 * g + 1) & 1) != 0}; }
};

class TimeBlocks {
public:
    static constexpr std::int64_t kBlockNs = 100'000'000;
    static constexpr std::size_t kLevels = 3;  // 100 ms, 1 s, 10 s
    static constexpr std::int64_t kFanOut = 10;
    // Eight hours, and the ten minutes a view of eight hours may reach further on a narrow plot.
    static constexpr std::int64_t kDefaultKeptNs = (8 * 3600 + 600) * 1'000'000'000LL;

    explicit TimeBlocks(std::int64_t kept_ns = kDefaultKeptNs);

    // Frames come in time order.
    void add(std::int64_t time_ns, const TrendPoint* points, const Verdict* verdicts);

    // Blocks starting at or after this time are kept; earlier ones read as empty.
    std::int64_t kept_from_ns() const;

    // Adds the frames stamped in [begin_ns, end_ns) to `summary`, counting them into `frames`
    // (with the first and last frame's times). Exact when both times are whole blocks; otherwise it
    // takes every block the range touches.
    void add_to(std::int64_t begin_ns, std::int64_t end_ns, FrameSummary& summary, std::uint32_t& frames,
                std::int64_t& first_ns, std::int64_t& last_ns) const;

    // The 100 ms block with this number (its start over kBlockNs); none when empty or not kept.
    const TimeBlock* block(std::int64_t number) const;

    std::size_t memory_bytes() const;

private:
    struct Free {
        void operator()(TimeBlock* blocks) const { std::free(blocks); }
    };
    struct Level {
        std::int64_t span_ns = kBlockNs;
        // From calloc: a block of zeros is an empty block, and pages never used cost nothing.
        std::unique_ptr<TimeBlock[], Free> ring;
        std::size_t size = 0;
        std::int64_t newest = 0;  // the newest block's number on this level
        bool any = false;
    };

    TimeBlock* open(Level& level, std::int64_t number);
    const TimeBlock* kept(const Level& level, std::int64_t number) const;

    std::array<Level, kLevels> levels_;
};

}  // namespace sensor
