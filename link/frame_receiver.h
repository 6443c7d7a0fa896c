// Reassembles the board's byte stream into frames: 16 non-zero data bytes, then the zero byte
// that ends the frame. Bytes are taken one at a time, in arrival order.
#pragma once

#include <array>
#include <cstdint>

namespace sensor {

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

    FrameSlots FrameBytes;
    std::int16_t FrameIndex;

private:
    void wrap_index();
};

}  // namespace sensor
