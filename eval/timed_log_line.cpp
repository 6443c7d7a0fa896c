#include "eval/timed_log_line.h"

#include "eval/csv_field.h"
#include "eval/frame_row.h"
#include "eval/utc_text.h"

namespace sensor {

std::string timed_log_header() {
    std::string line = "utc,run_clock,frame";
    for (int cell : {6, 7, 8, 11, 12, 13, 14, 15}) (line += ',') += kCellNames[static_cast<std::size_t>(cell)];
    return line + ",markers\r\n";
}

std::string timed_log_line(std::int64_t utc_ms, std::string_view run_clock, std::uint64_t frame, std::string_view log_line,
                           std::span<const std::string> marker_labels) {
    while (!log_line.empty() && (log_line.back() == '\n' || log_line.back() == '\r')) log_line.remove_suffix(1);
    std::string line = utc_text(utc_ms);
    line += ',';
    for (char c : run_clock) line += c == ',' ? '.' : c;
    line += ',';
    line += std::to_string(frame);
    line += ',';
    line += log_line;
    line += ',';
    line += labels_field(marker_labels);
    line += "\r\n";
    return line;
}

}  // namespace sensor
