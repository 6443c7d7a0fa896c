#include "programs/decode_command_line.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace sensor {

std::variant<DecodeRequest, UsageError> read_decode_command_line(const std::vector<std::string>& args) {
    DecodeRequest request;
    std::vector<std::string> positional;
    std::vector<std::string> outputs;
    bool options_ended = false;
    for (const std::string& arg : args) {
        if (options_ended || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
        } else if (arg == "--") {
            options_ended = true;
        } else if (arg == "-h" || arg == "--help" || arg == "-?" || arg == "--help-all") {
            request.help = true;
        } else if (arg == "-v" || arg == "--version") {
            request.version = true;
        } else if (arg == "--log-lines" || arg == "--frames" || arg == "--markers") {
            if (std::find(outputs.begin(), outputs.end(), arg) == outputs.end()) outputs.push_back(arg);
            request.output = arg == "--log-lines" ? DecodeOutput::LogLines
                             : arg == "--frames"  ? DecodeOutput::Frames
                                                  : DecodeOutput::Markers;
        } else {
            return UsageError{"Unknown option '" + arg + "'."};
        }
    }
    if (outputs.size() > 1) return UsageError{"Give one of --frames, --markers and --log-lines, not " + outputs[0] + " and " + outputs[1] + "."};
    if (positional.size() > 1) return UsageError{"Give at most one capture file."};
    if (!positional.empty() && positional.front() != "-") request.capture = positional.front();
    return request;
}

std::string decode_help_text() {
    return std::string(kDecodeUsage) +
           "\n"
           "Decodes a capture of the sensor board's serial stream, as the panel would from start-up: a\n"
           "recording the panel made (bytes with their times, commands and markers) or raw bytes.\n"
           "For every zero byte (the end of a frame) it writes one line to standard output: the texts of\n"
           "the measurement cells Text1(0) to Text1(15) in index order, separated by \",\", with \".\" as the\n"
           "decimal separator. Fields: 0 IR reading module 1, 1 time of flight module 1, 2 IR reading\n"
           "module 2, 3 time of flight module 2, 4 IR reading module 3, 5 time of flight module 3,\n"
           "6-8 ultrasonic distance (m) modules 1-3, 9-10 ground readings, 11-13 IR distance (cm) or\n"
           "ERR/OK modules 1-3, 14-15 ground verdicts black/white.\n"
           "With --frames it writes a CSV table instead: a header row, then per frame t_s (seconds since\n"
           "the recording's start; of raw bytes, the frame's place at 1,920 bytes a second), utc (empty\n"
           "for raw bytes), frame (1, 2, ...), the sixteen cells, and marker (the labels of the markers set\n"
           "since the previous frame, joined by \";\").\n"
           "With --markers it writes the markers as a CSV table: t_s, utc, frame (the newest frame when\n"
           "it was set), panel_frame (the same as the panel counted it) and label.\n"
           "With --log-lines it writes the lines a run started before the capture's first byte would\n"
           "have logged: every 50th frame, fields 6, 7, 8 and 11 to 15, lines ended by CR LF.\n"
           "Standard error ends with the count of frames, short and overlong ones, and says when most\n"
           "frames are malformed or a recording is cut short.\n"
           "Exit status: 0 done, 1 the capture could not be read or the output not written, 2 usage error.\n"
           "\n"
           "Options:\n"
           "  --frames       Write a CSV row per frame, with its time and markers.\n"
           "  --markers      Write the recording's markers as CSV rows.\n"
           "  --log-lines    Write the run's log lines instead of every frame's cells.\n"
           "  -h, --help     Displays this help.\n"
           "  --help-all     Displays this help; sensor-decode has no other options.\n"
           "  -v, --version  Displays version information.\n"
           "\n"
           "Arguments:\n"
           "  capture        Capture to decode; standard input when absent or \"-\".\n";
}

std::vector<std::string> command_line_arguments(int argc, char** argv) {
    std::vector<std::string> args;
#ifdef _WIN32
    (void)argc;
    (void)argv;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; wide != nullptr && i < count; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(size > 0 ? size - 1 : 0, '\0');
        if (size > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), size, nullptr, nullptr);
        args.push_back(arg);
    }
    LocalFree(wide);
#else
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
#endif
    return args;
}

}  // namespace sensor
