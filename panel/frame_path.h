// The road of one frame: each received byte goes to the frame receiver; the zero byte that ends
// a frame runs the decoder, the infrared table, the ground verdicts and the recorder, in order,
// writing the cells and a typed result of the same frame.
#pragma once

#include <cstdint>

#include "cells/cell_store.h"
#include "eval/csv_recorder.h"
#include "link/frame_receiver.h"
#include "link/frame_result.h"

namespace sensor {

// What one byte did: when it ended a frame, last_frame() holds that frame, its log line included.
struct ByteOutcome {
    bool frame_ended = false;
};

class FramePath {
public:
    ByteOutcome receive(std::uint8_t ch, CellStore& cells, char decimal_separator);

    // The frame that ended last; written in place, so a frame costs no allocation.
    const FrameResult& last_frame() const { return result_; }

    FrameReceiver receiver;
    CsvRecorder recorder;

private:
    FrameResult result_;
    std::uint64_t frames_ = 0;
};

// The steps that follow a zero byte, on the slots as they stand.
void run_frame_end(FrameSlots& slots, CellStore& cells, char decimal_separator, FrameResult* result = nullptr);

}  // namespace sensor
