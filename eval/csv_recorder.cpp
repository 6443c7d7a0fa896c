#include "eval/csv_recorder.h"

namespace sensor {

bool run_is_on(const CellStore& cells) { return cells.Command1 == "STOP"; }

std::string csv_record(const CellStore& cells, char sep) {
    static constexpr int kFields[] = {6, 7, 8, 11, 12, 13, 14, 15};
    std::string line;
    line.reserve(96);
    for (int cell : kFields) {
        if (!line.empty()) line += ',';
        for (char c : cells.Text1[cell]) line += (c == sep ? '.' : c);
    }
    line += "\r\n";
    return line;
}

std::optional<std::string> CsvRecorder::after_frame(const CellStore& cells, char sep) {
    if (++LogCounter > 100) LogCounter = 0;
    if (!run_is_on(cells) || LogCounter <= 49) return std::nullopt;
    LogCounter = 0;
    return csv_record(cells, sep);
}

}  // namespace sensor
