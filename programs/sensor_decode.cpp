// sensor-decode: the panel's frame path without the window. Feeds a raw byte capture to the same
// core the panel runs, from start-up, and prints each decoded frame's cells or the run's log lines.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <variant>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "programs/decode_command_line.h"
#include "panel/panel_logic.h"

namespace {

// Nothing stands behind the panel here; every command counts as sent, so START starts a run.
struct AcceptingSink : sensor::CommandSink {
    bool send(const sensor::ControlMessage&) override { return true; }
};

void write_cells(const sensor::CellStore& cells, std::string& out) {
    for (std::size_t i = 0; i < cells.Text1.size(); ++i) {
        if (i) out += ',';
        out += cells.Text1[i];
    }
    out += '\n';
}

// Output still buffered goes out here, so a full disk is seen even when every write seemed to work.
int finish_output(int status) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "sensor-decode: Cannot write standard output: %s.\n", std::strerror(errno));
        return 1;
    }
    return status;
}

int cannot_read(const std::string& name, int error) {
    std::fprintf(stderr, "sensor-decode: Cannot read %s: %s.\n", name.c_str(), std::strerror(error));
    return 1;
}

std::FILE* open_capture(const std::string& utf8_name) {
#ifdef _WIN32
    const std::filesystem::path path(std::u8string(utf8_name.begin(), utf8_name.end()));
    return _wfopen(path.c_str(), L"rb");
#else
    return std::fopen(utf8_name.c_str(), "rb");
#endif
}

bool is_folder(const std::string& utf8_name) {
    std::error_code ec;
    return std::filesystem::is_directory(std::filesystem::path(std::u8string(utf8_name.begin(), utf8_name.end())), ec);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // A capture holds any byte: 0x1A must not end it and CR LF must not shrink to LF. The log lines
    // carry their own CR LF, which text mode would double.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    const auto parsed = sensor::read_decode_command_line(sensor::command_line_arguments(argc, argv));
    if (const auto* error = std::get_if<sensor::UsageError>(&parsed)) {
        std::fprintf(stderr, "sensor-decode: %s\n%s\n", error->sentence.c_str(), sensor::kDecodeUsage);
        return 2;
    }
    const auto& request = std::get<sensor::DecodeRequest>(parsed);
    if (request.help) {
        std::fputs(sensor::decode_help_text().c_str(), stdout);
        return finish_output(0);
    }
    if (request.version) {
        std::printf("sensor-decode %s\n", SENSOR_PANEL_VERSION);
        return finish_output(0);
    }

    const bool from_stdin = !request.capture;
    const std::string name = from_stdin ? std::string("standard input") : *request.capture;
    // Some C libraries open a folder and fail only on the read; this says the same everywhere.
    if (!from_stdin && is_folder(name)) return cannot_read(name, EISDIR);
    std::FILE* in = from_stdin ? stdin : open_capture(name);
    if (!in) return cannot_read(name, errno);

    AcceptingSink sink;
    sensor::PanelLogic panel('.');
    panel.set_sink(&sink);
    panel.Load();
    if (request.log_lines) panel.Command1_Click();

    std::vector<unsigned char> chunk(1 << 16);
    std::string out;
    int status = 0;
    for (;;) {
        const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), in);
        for (std::size_t i = 0; i < n; ++i) {
            const sensor::ByteOutcome outcome = panel.receive(chunk[i]);
            if (!outcome.frame_ended) continue;
            if (!request.log_lines) write_cells(panel.cells(), out);
            else if (const auto& line = panel.last_frame().log_line) out += *line;
        }
        if (!out.empty() && std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) break;
        out.clear();
        if (n < chunk.size()) {
            if (std::ferror(in)) status = cannot_read(name, errno);
            break;
        }
    }
    if (!from_stdin) std::fclose(in);
    return finish_output(status);
}
