// The command line of sensor-decode: what a run asks for, or the one sentence that says why the
// command line is wrong. Standard C++ only, so the program builds where Qt does not.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace sensor {

inline constexpr const char* kDecodeUsage = "Usage: sensor-decode [--frames|--markers|--log-lines] [capture|-]";

enum class DecodeOutput : std::uint8_t {
    Cells,     // every frame's sixteen cells, as the panel shows them
    Frames,    // a CSV table: time, frame number, the sixteen cells, markers
    Markers,   // a CSV table of the recording's markers
    LogLines,  // the lines a run would have logged
};

struct DecodeRequest {
    bool help = false;
    bool version = false;
    DecodeOutput output = DecodeOutput::Cells;
    std::optional<std::string> capture;  // a file name; none for standard input
};

struct UsageError {
    std::string sentence;  // without the program's name, ends with "."
};

std::variant<DecodeRequest, UsageError> read_decode_command_line(const std::vector<std::string>& args);

// The whole help text: usage, what the program writes, options and exit statuses.
std::string decode_help_text();

// The arguments after the program's name, as UTF-8. On Windows they come from the wide command line,
// so file names outside the ANSI code page arrive intact.
std::vector<std::string> command_line_arguments(int argc, char** argv);

}  // namespace sensor
