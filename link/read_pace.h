// When the serial link reads: bytes wait in the driver and are read together when the display
// would show them, except in a backlog (bytes faster than the line's pace explains, as after a
// stall or in a flood), which is read as it comes. Times are milliseconds of a monotonic clock.
#pragma once

#include <cstdint>

namespace sensor {

class ReadPace {
public:
    // Reads follow the display's pace. The first byte after a quiet spell is read after a short
    // deadline, time for the rest of its frame (17 bytes take 8.9 ms at 19200 baud).
    static constexpr int kPaceMs = 60;
    static constexpr int kFirstReadDelayMs = 10;
    // A read that finds more than half a second of the line met a backlog.
    static constexpr std::int64_t kBacklogBytes = 1024;

    // A port opened: no backlog, and the first bytes are read after the short deadline.
    void reset() { *this = ReadPace(); }
    // Bytes are readable: how long they may wait; 0 means read now.
    std::int64_t wait_ms(std::int64_t now_ms) const;
    // A read took `bytes` bytes at now_ms.
    void read(std::int64_t now_ms, std::int64_t bytes);
    bool backlog() const { return backlog_; }

private:
    std::int64_t last_read_ms_ = -kPaceMs;
    bool backlog_ = false;
    std::int64_t backlog_since_ms_ = 0;
    std::int64_t backlog_bytes_ = 0;
};

}  // namespace sensor
