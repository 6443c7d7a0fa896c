// The sixteen measurement cells of a frame, Text1(0) to Text1(15), as the panel shows them with "."
// as the decimal separator: what exporting the frames in view writes. The renderer is passed in,
// so the decoder's own frame listing and the export can share one.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "link/frame_result.h"

namespace sensor {

using FrameTexts = std::array<std::string, 16>;
using FrameTextRenderer = std::function<void(const FrameResult& frame, FrameTexts& texts)>;

// The cells rebuilt from the frame's raw infrared and ground readings and times of flight by the
// panel's rules: the decoder's number texts, the infrared table, the ground verdict.
void panel_frame_texts(const FrameResult& frame, FrameTexts& texts);

}  // namespace sensor
