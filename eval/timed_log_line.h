// The log line with its time columns, for a log that says when each line was taken: UTC with
// milliseconds, the run clock as Text3 shows it, the frame number since start-up, the eight
// logged fields, and the labels of the markers set since the previous line. And the header line
// that names every column. The plain eight-field line stays the log's format when times are off.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace sensor {

// "utc,run_clock,frame,us1_m,us2_m,us3_m,ir1_cm,ir2_cm,ir3_cm,ground1_verdict,ground2_verdict,markers" and CR LF.
std::string timed_log_header();

// log_line: the eight fields as FrameResult::log_line holds them, with their CR LF. run_clock: the
// text of Text3; a "," decimal separator in it (its exponent form) is written as ".", as in the
// fields. Ends with CR LF.
std::string timed_log_line(std::int64_t utc_ms, std::string_view run_clock, std::uint64_t frame, std::string_view log_line,
                           std::span<const std::string> marker_labels);

}  // namespace sensor
