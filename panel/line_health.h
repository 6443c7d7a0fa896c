// How the line from the board is doing, for the status bar: frames, frames per second over the
// last second (right from the first one), frames that came short or wrapped, and how old the last
// frame is. Times are milliseconds of a monotonic clock, given by the caller.
#pragma once

#include <array>
#include <cstdint>

namespace sensor {

// What the first frames of a connection, or the first after a hinted silence, tell the user.
enum class LineNews : std::uint8_t {
    None,
    FramesArrive,     // after the silence hint: frames came, mostly whole
    FramesMalformed,  // most of them came short or overlong: another baud rate, or not the board
};

class LineHealth {
public:
    // Readings this old no longer stand for what the board sees now.
    static constexpr std::int64_t kStaleMs = 2000;
    // A port open this long without a frame is most likely not the board's.
    static constexpr std::int64_t kSilenceHintMs = 3000;

    // Frames judged before the line's news is told: few enough to tell within a second even of
    // random bytes, where a zero ends a "frame" about every 256 bytes.
    static constexpr int kJudgedFrames = 8;

    // Another connection (a port, the simulated board, a replay): everything starts again.
    void reset() { *this = LineHealth(); }
    // The connection opened, or opened again after a loss: the rate and the age start again; the
    // counts go on.
    void restart(std::int64_t now_ms);
    // A frame ended; data_bytes is how many non-zero bytes it had (16 for a whole frame). Says
    // what the first frames since the open, or since a hinted silence, amount to, once.
    LineNews frame(std::int64_t now_ms, int data_bytes);

    // The cells show readings older than the line's news: frames came, but the line is not open
    // or has been quiet for kStaleMs.
    bool stale(std::int64_t now_ms, bool open) const;
    // True once per quiet spell: the open line has given no frame since it opened, for
    // kSilenceHintMs.
    bool take_silence_hint(std::int64_t now_ms);

    double frames_per_second(std::int64_t now_ms) const;
    // Milliseconds since the last frame, or since the restart when none came; -1 before a restart.
    std::int64_t quiet_ms(std::int64_t now_ms) const;
    bool any_frame_since_restart() const { return last_frame_ms_ >= 0; }

    std::uint64_t frames() const { return frames_; }
    std::uint64_t short_frames() const { return short_; }
    std::uint64_t wrapped_frames() const { return wrapped_; }

private:
    static constexpr std::int64_t kBucketMs = 100;
    static constexpr std::size_t kBuckets = 10;  // one second

    void advance(std::int64_t now_ms) const;

    mutable std::array<std::uint32_t, kBuckets> buckets_{};
    mutable std::int64_t bucket_start_ms_ = 0;  // start of the newest bucket
    std::int64_t restart_ms_ = -1;
    std::int64_t last_frame_ms_ = -1;
    std::uint64_t frames_ = 0;
    std::uint64_t short_ = 0;
    std::uint64_t wrapped_ = 0;
    bool silence_hinted_ = false;
    int judged_ = 0;     // of the frames being judged, how many came
    int malformed_ = 0;  // and how many of them were short or overlong
    bool judging_ = true;
};

}  // namespace sensor
