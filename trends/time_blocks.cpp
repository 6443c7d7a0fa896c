// Blocks on three levels, each a ring by block number; a frame is added to its block on every level.
#include "trends/time_blocks.h"
#include "trends/floor_div.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <type_traits>

namespace sensor {

namespace {

std::size_t ring_slot(std::int64_t number, std::size_t size) {
    const auto n = static_cast<std::int64_t>(size);
    return static_cast<std::size_t>(((number % n) + n) % n);
}

}  // namespace

void TimeBlock::add(std::int64_t time_ns, const TrendPoint* points, const Verdict* verdict) {
    if (frames == 0) first_ns = time_ns;
    last_ns = time_ns;
    ++frames;
    for (std::size_t c = 0; c < kChannelCount; ++c) {
        std::uint8_t& f = flags[c];
        const TrendPoint p = points[c];
        if (p.kind == PointKind::Value) {
            if ((f & HasValues) == 0) {
                first[c] = min[c] = max[c] = p.value;
                f |= HasValues;
            } else {
                min[c] = std::min(min[c], p.value);
                max[c] = std::max(max[c], p.value);
            }
            last[c] = p.value;
            f &= static_cast<std::uint8_t>(~BreakAfter);
        } else {
            f |= p.kind == PointKind::Err ? Err : p.kind == PointKind::Ok ? Ok : None;
            f |= BreakAfter;
            if ((f & HasValues) == 0) f |= BreakBefore;
        }
    }
    for (std::size_t g = 0; g < kGroundSensorCount; ++g) {
        if (verdict[g] == Verdict::Black) verdicts |= static_cast<std::uint8_t>(1u << (2 * g));
        if (verdict[g] == Verdict::White) verdicts |= static_cast<std::uint8_t>(1u << (2 * g + 1));
    }
}

ChannelSummary TimeBlock::channel(std::size_t c) const {
    ChannelSummary s;
    const std::uint8_t f = flags[c];
    if (f & HasValues) {
        s.min = min[c];
        s.max = max[c];
        s.first = first[c];
        s.last = last[c];
        s.values = 1;
    }
    s.err = (f & Err) != 0;
    s.ok = (f & Ok) != 0;
    s.none = (f & None) != 0;
    s.break_before = (f & BreakBefore) != 0;
    s.break_after = (f & BreakAfter) != 0;
    return s;
}

static_assert(std::is_trivially_copyable_v<TimeBlock> && std::is_aggregate_v<TimeBlock>,
              "blocks live in calloc'd memory, where all zeros is an empty block");

TimeBlocks::TimeBlocks(std::int64_t kept_ns) {
    std::int64_t span = kBlockNs;
    // Each coarser level keeps at least the time its finer one does, so a range the finest level
    // holds can always be summed from coarser blocks too.
    for (Level& level : levels_) {
        level.span_ns = span;
        level.size = static_cast<std::size_t>(std::max<std::int64_t>(kept_ns, kBlockNs) / span + 2);
        level.ring.reset(static_cast<TimeBlock*>(std::calloc(level.size, sizeof(TimeBlock))));
        if (!level.ring) throw std::bad_alloc();
        span *= kFanOut;
    }
}

TimeBlock* TimeBlocks::open(Level& level, std::int64_t number) {
    if (!level.any || number > level.newest) {
        // Blocks skipped by a pause are emptied on the way; a pause longer than the ring empties it
        // once. Before the first frame every block is still the system's zeros.
        const std::int64_t from = level.any ? std::max(level.newest + 1, number - static_cast<std::int64_t>(level.size) + 1) : number + 1;
        for (std::int64_t n = from; n <= number; ++n) level.ring[ring_slot(n, level.size)] = TimeBlock{};
        level.newest = number;
        level.any = true;
    }
    return &level.ring[ring_slot(number, level.size)];
}

void TimeBlocks::add(std::int64_t time_ns, const TrendPoint* points, const Verdict* verdicts) {
    for (Level& level : levels_) open(level, floor_div(time_ns, level.span_ns))->add(time_ns, points, verdicts);
}

const TimeBlock* TimeBlocks::kept(const Level& level, std::int64_t number) const {
    if (!level.any || number > level.newest || number <= level.newest - static_cast<std::int64_t>(level.size)) return nullptr;
    const TimeBlock& b = level.ring[ring_slot(number, level.size)];
    return b.frames > 0 ? &b : nullptr;
}

std::int64_t TimeBlocks::kept_from_ns() const {
    const Level& finest = levels_[0];
    if (!finest.any) return 0;
    return (finest.newest - static_cast<std::int64_t>(finest.size) + 1) * finest.span_ns;
}

const TimeBlock* TimeBlocks::block(std::int64_t number) const { return kept(levels_[0], number); }

void TimeBlocks::add_to(std::int64_t begin_ns, std::int64_t end_ns, FrameSummary& summary, std::uint32_t& frames,
                        std::int64_t& first_ns, std::int64_t& last_ns) const {
    if (!levels_[0].any) return;
    std::int64_t n = std::max(floor_div(begin_ns, kBlockNs), floor_div(kept_from_ns(), kBlockNs));
    const std::int64_t end = std::min(-floor_div(-end_ns, kBlockNs), levels_[0].newest + 1);
    while (n < end) {
        // The coarsest block that starts here and ends within the range.
        std::size_t l = 0;
        std::int64_t width = 1;
        while (l + 1 < kLevels && n % (width * kFanOut) == 0 && n + width * kFanOut <= end) {
            width *= kFanOut;
            ++l;
        }
        if (const TimeBlock* b = kept(levels_[l], n / width)) {
            if (frames == 0) first_ns = b->first_ns;
            last_ns = b->last_ns;
            frames += b->frames;
            for (std::size_t c = 0; c < kChannelCount; ++c) {
                if (b->flags[c] != 0) summary.channels[c].merge(b->channel(c));
            }
            for (std::size_t g = 0; g < kGroundSensorCount; ++g) summary.verdicts[g].merge(b->verdict(g));
        }
        n += width;
    }
}

std::size_t TimeBlocks::memory_bytes() const {
    std::size_t bytes = 0;
    for (const Level& level : levels_) bytes += level.size * sizeof(TimeBlock);
    return bytes;
}

}  // namespace sensor
