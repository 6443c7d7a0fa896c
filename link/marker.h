// A moment of a run the operator marked: its label and the newest frame when it was set. Where it
// is kept (the recording, the history, the log) adds the time in that place's own terms.
#pragma once

#include <cstdint>
#include <string>

namespace sensor {

struct Marker {
    std::uint64_t frame = 0;  // FrameResult::index of the newest frame when set; 0 before the first
    std::string label;        // "Marker 3", or the operator's own words
};

}  // namespace sensor
