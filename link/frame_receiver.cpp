#include "link/frame_receiver.h"

namespace sensor {

FrameReceiver::FrameReceiver() { reset(); }

void FrameReceiver::reset() {
    FrameBytes.fill(0.0f);
    for (int i = 0; i < 16; ++i) FrameBytes[i] = 255.0f;
    FrameIndex = 0;
    bytes_since_zero_ = 0;
    last_frame_bytes_ = 0;
}

// Past 16 data bytes without a zero the stream wraps: the 17th byte overwrites slot 0.
void FrameReceiver::wrap_index() {
    if (FrameIndex > 15) FrameIndex = 0;
}

bool FrameReceiver::receive(std::uint8_t ch) {
    wrap_index();
    if (ch != 0) {
        FrameBytes[FrameIndex] = static_cast<float>(ch);
        ++FrameIndex;
        if (bytes_since_zero_ < 1'000'000) ++bytes_since_zero_;
        return false;
    }
    FrameIndex = 0;
    last_frame_bytes_ = bytes_since_zero_;
    bytes_since_zero_ = 0;
    return true;
}

void FrameReceiver::other_event() { wrap_index(); }

void FrameReceiver::new_stream() {
    FrameIndex = 0;
    bytes_since_zero_ = 0;
}

}  // namespace sensor
