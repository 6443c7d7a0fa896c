// What a run of consecutive frames amounts to for drawing one quantity: its extremes, its first and
// last values, and whether an "ERR"/"OK" mark or a frame without a value breaks its line.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace sensor {

// The plotted quantities, in the order of the plots: ultrasonic metres, infrared centimetres,
// ground readings.
enum class Channel : std::uint8_t { Ultrasonic1, Ultrasonic2, Ultrasonic3, Infrared1, Infrared2, Infrared3, Ground1, Ground2 };
inline constexpr std::size_t kChannelCount = 8;
inline constexpr std::size_t kGroundSensorCount = 2;

constexpr std::size_t channel_index(Channel c) { return static_cast<std::size_t>(c); }

// A frame's point on one quantity's trace. Err and Ok are drawn as marks at the plot's edge; None
// (an infrared cell that never held a distance) has nothing to draw.
enum class PointKind : std::uint8_t { Value, Err, Ok, None };

struct TrendPoint {
    PointKind kind = PointKind::None;
    float value = 0;  // only for Value
};

struct ChannelSummary {
    float min = std::numeric_limits<float>::infinity();
    float max = -std::numeric_limits<float>::infinity();
    float first = 0;  // the earliest value, only when values > 0
    float last = 0;   // the latest value, only when values > 0
    std::uint32_t values = 0;
    bool err = false;
    bool ok = false;
    bool none = false;
    // A frame without a value came before the first value or after the last one (or there is no
    // value at all), so the line may not join a neighbour on that side.
    bool break_before = false;
    bool break_after = false;

    void add_value(float v) {
        if (values == 0) first = v;
        last = v;
        min = std::min(min, v);
        max = std::max(max, v);
        ++values;
        break_after = false;
    }

    void add(TrendPoint p) {
        if (p.kind == PointKind::Value) {
            add_value(p.value);
        } else {
            err = err || p.kind == PointKind::Err;
            ok = ok || p.kind == PointKind::Ok;
            none = none || p.kind == PointKind::None;
            break_after = true;
            if (values == 0) break_before = true;
        }
    }

    // Appends the frames summarised by `later`, which follow this summary's frames directly.
    void merge(const ChannelSummary& later) {
        if (later.values > 0) {
            if (values == 0) {
                first = later.first;
                break_before = break_before || later.break_before;
            }
            last = later.last;
            min = std::min(min, later.min);
            max = std::max(max, later.max);
            break_after = later.break_after;
        } else {
            const bool marked = later.err || later.ok || later.none;
            if (values == 0) break_before = break_before || marked;
            break_after = break_after || marked;
        }
        values += later.values;
        err = err || later.err;
        ok = ok || later.ok;
        none = none || later.none;
    }

    bool unplottable() const { return err || ok || none; }
};

// Which ground verdicts occur in a run of frames.
struct VerdictSummary {
    bool black = false;
    bool white = false;

    void merge(const VerdictSummary& later) {
        black = black || later.black;
        white = white || later.white;
    }
};

// Every plotted quantity of a run of frames.
struct FrameSummary {
    std::array<ChannelSummary, kChannelCount> channels{};
    std::array<VerdictSummary, kGroundSensorCount> verdicts{};

    void merge(const FrameSummary& later) {
        for (std::size_t c = 0; c < kChannelCount; ++c) channels[c].merge(later.channels[c]);
        for (std::size_t g = 0; g < kGroundSensorCount; ++g) verdicts[g].merge(later.verdicts[g]);
    }
};

}  // namespace sensor
