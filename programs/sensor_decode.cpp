// sensor-decode: the panel's frame path without the window. Feeds the bytes of a capture (a
// recording with times, or raw bytes) to the same core the panel runs, from start-up, and prints
// each decoded frame's cells, a table of frames or markers with their times, or the run's log lines.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>
#include <variant>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "eval/csv_field.h"
#include "eval/frame_row.h"
#include "eval/utc_text.h"
#include "panel/panel_logic.h"
#include "programs/decode_command_line.h"
#include "recording/recorded_time.h"
#include "recording/recording_reader.h"

namespace {

void write_cells(const sensor::CellStore& cells, std::string& out) {
    for (std::size_t i = 0; i < cells.Text1.size(); ++i) {
        if (i) out += ',';
        out += cells.Text1[i];
    }
    out += '\n';
}

// "12.000521": seconds with every recorded microsecond.
std::string seconds_text(std::int64_t us) {
    std::string fraction = std::to_string(us % 1'000'000);
    return std::to_string(us / 1'000'000) + '.' + std::string(6 - fraction.size(), '0') + fraction;
}

// The bytes of a capture through the panel's core, with what each kind of output writes.
class Decoding {
public:
    Decoding(sensor::DecodeOutput output, std::string name) : output_(output), name_(std::move(name)) {
        panel_.set_sink(&sink_);
        panel_.Load();
        if (output_ == sensor::DecodeOutput::LogLines) panel_.Command1_Click();
        if (output_ == sensor::DecodeOutput::Frames) out_ += "t_s,utc,frame," + sensor::frame_row_header() + ",marker\n";
        if (output_ == sensor::DecodeOutput::Markers) out_ += "t_s,utc,frame,panel_frame,label\n";
    }

    void record(const sensor::Record& r, const sensor::RecordingReader& reader) {
        if (r.kind == sensor::RecordKind::Marker) {
            if (output_ == sensor::DecodeOutput::Frames) labels_.push_back(r.marker.label);
            if (output_ == sensor::DecodeOutput::Markers)
                out_ += times(r.us, reader) + ',' + std::to_string(frames_) + ',' + std::to_string(r.marker.frame) + ',' +
                        sensor::csv_field(r.marker.label) + '\n';
        }
        if (r.kind != sensor::RecordKind::Received) return;
        for (const std::uint8_t byte : r.bytes) {
            ++bytes_;
            if (!panel_.receive(byte).frame_ended) continue;
            const sensor::FrameResult& frame = panel_.last_frame();
            ++frames_;
            short_ += frame.data_bytes < 16;
            overlong_ += frame.data_bytes > 16;
            switch (output_) {
                case sensor::DecodeOutput::Cells: write_cells(panel_.cells(), out_); break;
                case sensor::DecodeOutput::LogLines:
                    if (frame.log_line) out_ += *frame.log_line;
                    break;
                case sensor::DecodeOutput::Frames: {
                    // A raw capture has no times: a frame stands where its zero byte stands on the line.
                    const std::int64_t us = reader.format() == sensor::RecordingFormat::Timed ? r.us : sensor::line_place_us(bytes_ - 1);
                    out_ += times(us, reader) + ',' + std::to_string(frames_) + ',' + sensor::frame_row(frame) + ',' +
                            sensor::labels_field(labels_) + '\n';
                    labels_.clear();
                    break;
                }
                case sensor::DecodeOutput::Markers: break;
            }
        }
    }

    std::string& out() { return out_; }

    // The last words on standard error: most frames malformed, then the count.
    void summarize() const {
        const char* me = "sensor-decode";
        if (frames_ == 0 && bytes_ > 0) {
            std::fprintf(stderr, "%s: %s holds no frame (no zero byte in %lld bytes): it may not be a capture of the board's stream.\n",
                         me, name_.c_str(), static_cast<long long>(bytes_));
        } else if (2 * (short_ + overlong_) > frames_) {
            std::fprintf(stderr,
                         "%s: Most frames of %s are malformed (%llu of %llu short or overlong): it may not be a capture of the "
                         "board's stream, or the line was not at 19200 baud.\n",
                         me, name_.c_str(), static_cast<unsigned long long>(short_ + overlong_),
                         static_cast<unsigned long long>(frames_));
        }
        std::fprintf(stderr, "%s: %llu frames from %s, %llu short, %llu overlong.\n", me, static_cast<unsigned long long>(frames_),
                     name_.c_str(), static_cast<unsigned long long>(short_), static_cast<unsigned long long>(overlong_));
    }

private:
    // t_s and utc; utc only where the recording says when it started.
    static std::string times(std::int64_t us, const sensor::RecordingReader& reader) {
        std::string text = seconds_text(us) + ',';
        if (reader.format() == sensor::RecordingFormat::Timed) {
            const std::int64_t utc_us = reader.header().start_utc_us + us;
            text += sensor::utc_text(utc_us / 1000 - (utc_us % 1000 < 0 ? 1 : 0));
        }
        return text;
    }

    // Nothing stands behind the panel here; every command counts as sent, so START starts a run.
    struct AcceptingSink : sensor::CommandSink {
        bool send(const sensor::ControlMessage&) override { return true; }
    };

    sensor::DecodeOutput output_;
    std::string name_;
    AcceptingSink sink_;
    sensor::PanelLogic panel_{'.'};
    std::string out_;
    std::vector<std::string> labels_;  // markers set since the previous frame
    std::int64_t bytes_ = 0;
    std::uint64_t frames_ = 0;
    std::uint64_t short_ = 0;
    std::uint64_t overlong_ = 0;
};

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

    Decoding decoding(request.output, name);
    sensor::RecordingReader reader;
    sensor::Record record;
    std::vector<unsigned char> chunk(1 << 16);
    bool output_failed = false;
    int status = 0;
    for (;;) {
        const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), in);
        reader.feed(std::span(chunk.data(), n));
        if (n < chunk.size()) reader.finish();
        while (reader.next(record)) decoding.record(record, reader);
        std::string& out = decoding.out();
        if (!out.empty() && std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) {
            output_failed = true;
            break;
        }
        out.clear();
        if (n < chunk.size()) {
            if (std::ferror(in)) status = cannot_read(name, errno);
            break;
        }
    }
    if (!from_stdin) std::fclose(in);
    status = finish_output(status);
    if (output_failed || status != 0) return status;
    // A cut or a newer format is said once, before the count.
    if (const std::string trouble = reader.trouble(name); !trouble.empty()) std::fprintf(stderr, "sensor-decode: %s\n", trouble.c_str());
    if (reader.refused()) return 1;
    decoding.summarize();
    return 0;
}
