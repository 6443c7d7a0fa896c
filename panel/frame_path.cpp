#include "panel/frame_path.h"

#include "eval/ground_line.h"
#include "eval/ir_distance.h"
#include "link/frame_decoder.h"

namespace sensor {

void run_frame_end(FrameSlots& slots, CellStore& cells, char sep, FrameResult* result) {
    decode_frame(slots, cells, sep, result);
    evaluate_ir_distances(cells, sep, result);
    classify_ground_line(cells, sep, result);
}

ByteOutcome FramePath::receive(std::uint8_t ch, CellStore& cells, char sep) {
    ByteOutcome outcome;
    if (!receiver.receive(ch)) return outcome;
    outcome.frame_ended = true;
    result_.index = ++frames_;
    result_.data_bytes = receiver.last_frame_bytes();
    run_frame_end(receiver.FrameBytes, cells, sep, &result_);
    result_.log_line = recorder.after_frame(cells, sep);
    return outcome;
}

}  // namespace sensor
