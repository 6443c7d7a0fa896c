// Reassembles the board's byte stream into frames: 16 non-zero data bytes, then the zero byte
// that ends the frame. Bytes are taken one at a time, in arrival order.
#pragma once

#include <array>
#include <cstdint>

namespace sensor {

// The line's pace: 19200 baud, 8N1, ten bit times a byte; 17 bytes a frame, about 113 frames a second.
inline constexpr double kLineBytesPerSecond = 1920.0;

// The bytes of the frame being received, one single-precision slot per position. Only slots 0 to
// 15 are used; a slot keeps its byte until the next byte for that position arrives.
using FrameSlots = std::array<float, 20>;

class FrameReceiver {
public:
    FrameReceiver();

    // Start-up: slots 0 to 15 hold 255, 16 to 19 hold 0, the next byte goes to slot 0.
    void reset();

    // A received byte. Returns true when it was the zero byte that ends a frame; the caller then
    // runs the frame-end sequence on the slots as they stand.
    bool receive(std::uint8_t ch);

    // Any other serial event (line error, modem line change): only the wrap of the index happens.
    void other_event();

    // The stream starts again (a port opened, a replay restarted): a frame cut off by that is not
    // joined to the new stream's first bytes. The slots keep their bytes, as after any frame.
    void new_stream();

    // Non-zero bytes between the last two zero bytes: 16 for a whole frame. Only for the line's
    // health; the frame path does not depend on it.
    int last_frame_bytes() const { return last_frame_bytes_; }

    FrameSlots FrameBytes;
    std::int16_t FrameIndex;

private:
    void wrap_index();

    int bytes_since_zero_ = 0;
    int last_frame_bytes_ = 0;
};

}  // namespace sensor
