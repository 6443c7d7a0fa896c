// Arbitrary bytes through the receiver and the frame-end sequence, as from a noisy line. The first
// byte picks the decimal separator and a run on or off, so the recorder's line is built too.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cells/number_text.h"
#include "panel/panel_logic.h"

namespace {

// A cell shows a number the next step can read back, one of the fixed words, or nothing yet.
bool well_formed(const std::string& text, char sep) {
    if (text.empty() || text == "ERR" || text == "OK" || text == "black" || text == "white") return true;
    return sensor::text_number(text, sep).has_value() && text.find(' ') == std::string::npos;
}

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const char sep = (data[0] & 1) ? ',' : '.';
    sensor::PanelLogic panel(sep);
    panel.Load();
    if (data[0] & 2) panel.cells().Command1 = "STOP";
    for (std::size_t i = 1; i < size; ++i) {
        if (data[i] == 0xFF && (data[0] & 4)) panel.other_comm_event();
        const sensor::ByteOutcome outcome = panel.receive(data[i]);
        const auto index = panel.frame_path().receiver.FrameIndex;
        check(index >= 0 && index <= 16);
        const auto counter = panel.frame_path().recorder.LogCounter;
        check(counter >= 0 && counter <= 100);
        if (!outcome.frame_ended) continue;
        for (const auto& text : panel.cells().Text1) check(well_formed(text, sep));
        if (const auto& logged = panel.last_frame().log_line) {
            const std::string& line = *logged;
            check(line.size() > 2 && line.compare(line.size() - 2, 2, "\r\n") == 0);
            std::size_t commas = 0;
            for (char c : line) commas += c == ',';
            check(commas == 7);
        }
    }
    for (int i = 16; i < 20; ++i) check(panel.frame_path().receiver.FrameBytes[i] == 0.0f);
    return 0;
}
