#include "link/frame_path.h"

#include "eval/ground_line.h"
#include "eval/ir_distance.h"
#include "link/frame_decoder.h"

namespace sensor {

void run_frame_end(FrameSlots& slots, CellStore& cells, char sep) {
    decode_frame(slots, cells, sep);
    evaluate_ir_distances(cells, sep);
    classify_ground_line(cells, sep);
}

ByteOutcome FramePath::receive(std::uint8_t ch, CellStore& cells, char sep) {
    ByteOutcome outcome;
    if (!receiver.receive(ch)) return outcome;
    outcome.frame_ended = true;
    run_frame_end(receiver.FrameBytes, cells, sep);
    outcome.log_line = recorder.after_frame(cells, sep);
    return outcome;
}

}  // namespace sensor
