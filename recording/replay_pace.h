// The pace of a replay: which part of a recording is due at a given moment. Recorded times run at
// the chosen speed from an anchor; pause, resume and a change of speed move the anchor to where the
// replay stands, so paused time is never made up. At 1× a replay reproduces the recorded arrival
// times, gaps and bursts included; other speeds scale them. A raw capture has no times: its bytes
// stand at their place on the line (1,920 a second). Times are microseconds: `now_us` of a
// monotonic clock, given with every call, and recorded times since the recording's start.
#pragma once

#include <cstdint>
#include <limits>

namespace sensor {

class ReplayPace {
public:
    // As fast as the panel takes it: everything is due at once.
    static constexpr double kFastest = std::numeric_limits<double>::infinity();
    static constexpr std::int64_t kEverything = std::numeric_limits<std::int64_t>::max();

    // Plays from recorded time `from_us` at now_us (a start, or a restart from the first byte).
    // A paused replay stays paused there.
    void start(std::int64_t now_us, std::int64_t from_us = 0);
    void pause(std::int64_t now_us);
    void resume(std::int64_t now_us);
    // False (and no change) for a speed that is not above zero.
    bool set_speed(double speed, std::int64_t now_us);
    // What was handed over reached recorded time `us`. As fast as the panel takes it, and for a
    // raw capture, the replay stands where the handing over got to, not where the clock is.
    void delivered(std::int64_t us);
    // A raw capture goes out a few bytes each tick: a pause or a new speed counts from its last
    // byte handed over, so nothing from before it is owed afterwards.
    void set_by_bytes(bool by_bytes) { by_bytes_ = by_bytes; }

    double speed() const { return speed_; }
    bool paused() const { return paused_; }
    bool fastest() const { return speed_ == kFastest; }

    // The recorded time played by now_us: whatever was recorded at or before it is due.
    // kEverything as fast as the panel takes it.
    std::int64_t played_us(std::int64_t now_us) const;
    bool due(std::int64_t recorded_us, std::int64_t now_us) const { return recorded_us <= played_us(now_us); }
    // The first moment at which something recorded at `recorded_us` is due (now_us when it is due
    // already); -1 while paused, when nothing falls due.
    std::int64_t due_at(std::int64_t recorded_us, std::int64_t now_us) const;
    // For a raw capture: how many of its bytes are due by now_us.
    std::int64_t raw_bytes_due(std::int64_t now_us) const;

private:
    // Where the replay stands at now_us, for a new anchor.
    std::int64_t stands_at(std::int64_t now_us) const;
    void anchor(std::int64_t now_us, std::int64_t at_us);

    double speed_ = 1;
    bool paused_ = false;
    bool by_bytes_ = false;
    std::int64_t anchor_now_us_ = 0;
    std::int64_t anchor_recorded_us_ = 0;
    std::int64_t delivered_us_ = 0;
};

}  // namespace sensor
