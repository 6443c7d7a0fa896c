// When held recording bytes must go to the disk: no byte waits more than a second, so a crash
// loses at most the last second, and a burst goes out at once when 64 KiB are held, so memory
// stays small. Times are milliseconds of a monotonic clock, given with every call.
#pragma once

#include <cstdint>
#include <optional>

namespace sensor {

class FlushRule {
public:
    static constexpr std::int64_t kMaxWaitMs = 1000;
    static constexpr std::int64_t kMaxHeldBytes = 64 * 1024;

    // Bytes were added at now_ms and `held_bytes` wait in all: true when they are to be written now.
    bool held(std::int64_t now_ms, std::int64_t held_bytes);
    // A timer woke the writer: true when what is held is to be written now.
    bool due(std::int64_t now_ms) const;
    // Everything held was written (or given up): nothing waits.
    void written() { oldest_ms_.reset(); }
    // When the oldest held byte has waited its longest; none while nothing is held.
    std::optional<std::int64_t> deadline_ms() const;

private:
    std::optional<std::int64_t> oldest_ms_;
};

}  // namespace sensor
