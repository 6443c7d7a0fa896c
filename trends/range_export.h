// The frames of a time range as CSV, in the columns of the decoder's frame listing: t_s (seconds
// since the run's first frame), utc (when known), frame, the cells Text1(0) to Text1(15) as the
// panel shows them with "." as the decimal separator, and marker (the labels of the markers set
// since the previous frame). Where the frames are no longer held one by one, the rows are the
// 100 ms blocks kept instead, each cell the lowest and highest value, as a line above the header
// says.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "trends/frame_texts.h"
#include "trends/history.h"

namespace sensor {

struct ExportOptions {
    // Added to a frame's time, nanoseconds since 1970-01-01 UTC; none leaves utc empty.
    std::optional<std::int64_t> utc_offset_ns;
    FrameTextRenderer texts = panel_frame_texts;
};

// The header row: "t_s,utc,frame,", the cells' names as the decoder's frame listing names them,
// ",marker" and a line end.
std::string export_header();

// Writes the rows of [begin_ns, end_ns) through `write`, in pieces; stops at the first write that
// fails and returns false.
bool export_range(const History& history, std::int64_t begin_ns, std::int64_t end_ns, const ExportOptions& options,
                  const std::function<bool(std::string_view)>& write);

}  // namespace sensor
