// sensor-decode run as a user runs it, on captures (recordings with times, raw bytes) written to
// a real file system and piped through standard input; natively and, built for Windows, under Wine.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <random>
#include <string>
#include <vector>

#include "eval/frame_row.h"
#include "recording/recording_encoder.h"
#include "sim/frame_encoder.h"
#include "tests/support/child_process.h"
#include "tests/support/random_frames.h"

namespace fs = std::filesystem;
using namespace sensor;
using sensor::testing::ChildInput;
using sensor::testing::ChildResult;
using sensor::testing::run_child;
using sensor::testing::unique_temp_path;

namespace {

ChildResult decode(const std::vector<std::string>& args, const ChildInput& input = {}) {
    ChildResult r = run_child(SENSOR_DECODE_PATH, args, input);
#ifdef _WIN32
    // Messages go to a console in text mode there; the words are what is compared.
    for (std::size_t at; (at = r.err.find("\r\n")) != std::string::npos;) r.err.erase(at, 1);
#endif
    return r;
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : s) {
        if (c == sep) {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    return parts;
}

// Complete lines, each without its end; fails the test if the text does not end with one.
std::vector<std::string> lines_of(const std::string& text, const std::string& end) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (std::size_t next; (next = text.find(end, at)) != std::string::npos; at = next + end.size())
        lines.push_back(text.substr(at, next - at));
    EXPECT_EQ(at, text.size()) << "the output ends inside a line";
    return lines;
}

std::string encoded(const std::vector<BoardReadings>& frames) {
    std::string capture;
    for (const BoardReadings& r : frames)
        for (auto b : encode_frame(r)) capture += static_cast<char>(b);
    return capture;
}

std::vector<BoardReadings> random_frames(int count, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> ir(0, 1023), tof(0, 65535);
    std::vector<BoardReadings> frames;
    for (int n = 0; n < count; ++n) frames.push_back({{ir(rng), ir(rng), ir(rng)}, {tof(rng), 0, 300}, {ir(rng), 150}});
    return frames;
}

// The last line of every run that read its capture.
std::string summary(const std::string& name, int frames, int short_frames = 0, int overlong = 0) {
    return "sensor-decode: " + std::to_string(frames) + " frames from " + name + ", " + std::to_string(short_frames) + " short, " +
           std::to_string(overlong) + " overlong.\n";
}

const std::string kUsage = "Usage: sensor-decode [--frames|--markers|--log-lines] [capture|-]\n";

std::string as_text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

class CaptureFile {
public:
    explicit CaptureFile(const std::string& bytes) : path_(unique_temp_path("sensor_decode_capture")) {
        std::ofstream(path_, std::ios::binary) << bytes;
    }
    ~CaptureFile() { fs::remove(path_); }
    const fs::path& path() const { return path_; }
    std::string name() const { return path_.string(); }

private:
    fs::path path_;
};

}  // namespace

TEST(SensorDecode, OneLinePerZeroByteWithTheSixteenCells) {
    const std::vector<BoardReadings> sent = random_frames(300, 3);
    // The tail of a frame from before the capture started spoils only the first line.
    const CaptureFile file("\x05\x07" + encoded(sent));

    const ChildResult r = decode({file.name()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, summary(file.name(), 300, 0, 1)) << "the first frame holds the two stray bytes";
    const auto lines = lines_of(r.out, "\n");
    ASSERT_EQ(lines.size(), 300u) << "one line per zero byte";
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const auto f = split(lines[i], ',');
        ASSERT_EQ(f.size(), 16u) << lines[i];
        EXPECT_EQ(f[0], std::to_string(sent[i].infrared[0]));
        EXPECT_EQ(f[1], std::to_string(sent[i].time_of_flight[0]));
        EXPECT_EQ(f[3], "0");
        EXPECT_EQ(f[5], "300");
        EXPECT_EQ(f[7], "0");
        EXPECT_EQ(f[8], "0.0508");
        EXPECT_EQ(f[10], "150");
        EXPECT_EQ(f[15], "black");
        EXPECT_TRUE(f[14] == "black" || f[14] == "white");
    }

    // Standard input gives the same, from a file or a pipe, with or without "-".
    const ChildResult from_stdin = decode({}, {file.path(), {}});
    EXPECT_EQ(from_stdin.out, r.out);
    EXPECT_EQ(from_stdin.err, summary("standard input", 300, 0, 1));
    EXPECT_EQ(decode({"-"}, {file.path(), {}}).out, r.out);
    EXPECT_EQ(decode({}, {std::nullopt, "\x05\x07" + encoded(sent)}).out, r.out);
}

// Times of flight 0x0D0A, 0x1A1A and 0x0A0D and a ground reading of 640 put CR LF, 0x1A, LF CR and
// a lone CR on the line; a reader in text mode would end the capture early or lose bytes.
TEST(SensorDecode, EveryByteValueSurvivesFilesAndPipes) {
    std::vector<BoardReadings> sent(120, BoardReadings{{500, 600, 700}, {0x0D0A, 0x1A1A, 0x0A0D}, {640, 1023}});
    const std::string capture = encoded(sent);
    ASSERT_NE(capture.find("\r\n"), std::string::npos);
    ASSERT_NE(capture.find('\x1A'), std::string::npos);
    const CaptureFile file(capture);

    struct Case {
        const char* name;
        std::vector<std::string> args;
        ChildInput input;
    };
    const Case cases[] = {
        {"file", {file.name()}, {}},
        {"file as standard input", {}, {file.path(), {}}},
        {"pipe", {"-"}, {std::nullopt, capture}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ChildResult cells = decode(c.args, c.input);
        ASSERT_EQ(cells.status, 0) << cells.err;
        const auto lines = lines_of(cells.out, "\n");
        ASSERT_EQ(lines.size(), 120u);
        for (std::size_t i = 1; i < lines.size(); ++i) {
            ASSERT_EQ(lines[i], "500,3338,600,6682,700,2573,0.565234666666667,1.13148533333333,0.435694666666667,640,1023,"
                                "15.9183673469388,13.9201183431953,12.4408284023669,white,white")
                << "line " << i;
        }

        std::vector<std::string> log_args = c.args;
        log_args.insert(log_args.begin(), "--log-lines");
        const ChildResult log = decode(log_args, c.input);
        ASSERT_EQ(log.status, 0) << log.err;
        const std::string line =
            "0.565234666666667,1.13148533333333,0.435694666666667,15.9183673469388,13.9201183431953,12.4408284023669,"
            "white,white\r\n";
        EXPECT_EQ(log.out, line + line)
            << "two lines, each ended by one CR LF";
    }
}

TEST(SensorDecode, LogLinesAreEveryFiftiethFramesLogFields) {
    for (int frames : {0, 1, 49, 50, 99, 100, 537}) {
        SCOPED_TRACE(std::to_string(frames) + " frames");
        const CaptureFile file(encoded(random_frames(frames, static_cast<unsigned>(frames))));
        const ChildResult cells = decode({file.name()});
        const ChildResult log = decode({"--log-lines", file.name()});
        ASSERT_EQ(log.status, 0) << log.err;
        EXPECT_EQ(log.err, summary(file.name(), frames));
        const auto cell_lines = lines_of(cells.out, "\n");
        const auto log_lines = lines_of(log.out, "\r\n");
        ASSERT_EQ(log_lines.size(), static_cast<std::size_t>(frames / 50));
        for (std::size_t k = 0; k < log_lines.size(); ++k) {
            const auto f = split(cell_lines[50 * k + 49], ',');
            ASSERT_EQ(f.size(), 16u);
            EXPECT_EQ(log_lines[k], f[6] + ',' + f[7] + ',' + f[8] + ',' + f[11] + ',' + f[12] + ',' + f[13] + ',' +
                                        f[14] + ',' + f[15])
                << "log line " << k;
        }
    }
}

TEST(SensorDecode, FailuresAreOneSentenceAndAnExitStatus) {
    const std::string folder = fs::temp_directory_path().string();
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;  // the whole of standard error
    };
    const Case cases[] = {
        {{"/nonexistent/capture.bin"}, 1, "sensor-decode: Cannot read /nonexistent/capture.bin: No such file or directory.\n"},
        {{"--log-lines", "/nonexistent/capture.bin"}, 1,
         "sensor-decode: Cannot read /nonexistent/capture.bin: No such file or directory.\n"},
        {{folder}, 1, "sensor-decode: Cannot read " + folder + ": Is a directory.\n"},
        {{"--", "-x"}, 1, "sensor-decode: Cannot read -x: No such file or directory.\n"},
        {{""}, 1, "sensor-decode: Cannot read : No such file or directory.\n"},
        {{"--frobnicate"}, 2, "sensor-decode: Unknown option '--frobnicate'.\n" + kUsage},
        {{"-x", "a"}, 2, "sensor-decode: Unknown option '-x'.\n" + kUsage},
        {{"a", "b"}, 2, "sensor-decode: Give at most one capture file.\n" + kUsage},
        {{"--markers", "--frames", "a"}, 2, "sensor-decode: Give one of --frames, --markers and --log-lines, not --markers and --frames.\n" + kUsage},
    };
    for (const Case& c : cases) {
        const ChildResult r = decode(c.args);
        EXPECT_EQ(r.status, c.status) << c.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "") << c.err;
    }

    const ChildResult help = decode({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind(kUsage, 0), 0u) << help.out;
    EXPECT_NE(help.out.find("Text1(0) to Text1(15)"), std::string::npos);
    EXPECT_NE(help.out.find("--log-lines"), std::string::npos);
    EXPECT_EQ(decode({"-h"}).out, help.out);
    const ChildResult help_all = decode({"--help-all"});
    EXPECT_EQ(help_all.status, 0) << "the manual lists it";
    EXPECT_EQ(help_all.out, help.out);

    const ChildResult version = decode({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("sensor-decode ", 0), 0u) << version.out;
}

TEST(SensorDecode, FullDiskIsReported) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no device that is always full";
#else
    EXPECT_EQ(run_child(SENSOR_DECODE_PATH, {}, {}, "/dev/full").status, 0) << "nothing to write, nothing fails";
    const ChildResult help = run_child(SENSOR_DECODE_PATH, {"--help"}, {}, "/dev/full");
    EXPECT_EQ(help.status, 1);
    EXPECT_EQ(help.err, "sensor-decode: Cannot write standard output: No space left on device.\n");
    const CaptureFile zeros(std::string(1000, '\0'));
    for (const char* option : {"", "--log-lines"}) {
        std::vector<std::string> args{zeros.name()};
        if (*option) args.insert(args.begin(), option);
        // A thousand frames: the log lines too are more than nothing.
        const ChildResult r = run_child(SENSOR_DECODE_PATH, args, {}, "/dev/full");
        EXPECT_EQ(r.status, 1) << option;
        EXPECT_EQ(r.err, "sensor-decode: Cannot write standard output: No space left on device.\n") << option;
    }
#endif
}

TEST(SensorDecode, ARecordingsFramesAndMarkersWithTheirTimes) {
    const std::vector<std::uint8_t> frames = sensor::testing::model_frames(6, 4);
    const auto part = [&](int first, int count) {
        return std::span(frames).subspan(static_cast<std::size_t>(first) * kFrameLength, static_cast<std::size_t>(count) * kFrameLength);
    };
    std::vector<std::uint8_t> recording;
    RecordingHeader header;
    header.start_utc_us = 1'796'825'007'412'000;  // 2026-12-09T14:03:27.412Z
    encode_header(header, recording);
    encode_received(8'900, part(0, 2), recording);
    encode_marker(10'000, Marker{2, "Start"}, recording);
    encode_command(10'500, std::vector<std::uint8_t>{0x53, 0}, recording);
    encode_received(1'517'800, part(2, 1), recording);  // after a stall of a second and a half
    encode_marker(1'600'000, Marker{3, "a;b"}, recording);
    encode_marker(1'600'001, Marker{3, "c"}, recording);
    encode_received(1'700'000, part(3, 3), recording);
    const CaptureFile file(as_text(recording));

    const ChildResult cells = decode({file.name()});
    ASSERT_EQ(cells.status, 0) << cells.err;
    const auto cell_lines = lines_of(cells.out, "\n");
    ASSERT_EQ(cell_lines.size(), 6u);
    EXPECT_EQ(cells.err, summary(file.name(), 6));

    const ChildResult table = decode({"--frames", file.name()});
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(table.err, summary(file.name(), 6));
    const auto rows = lines_of(table.out, "\n");
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[0], "t_s,utc,frame," + frame_row_header() + ",marker");
    const std::string times[] = {"0.008900,2026-12-09T14:03:27.420Z,1,", "0.008900,2026-12-09T14:03:27.420Z,2,",
                                 "1.517800,2026-12-09T14:03:28.929Z,3,", "1.700000,2026-12-09T14:03:29.112Z,4,",
                                 "1.700000,2026-12-09T14:03:29.112Z,5,", "1.700000,2026-12-09T14:03:29.112Z,6,"};
    const std::string markers[] = {"", "", "Start", "\"a;b;c\"", "", ""};
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(rows[i + 1], times[i] + cell_lines[i] + "," + markers[i]) << "frame " << i + 1;

    const ChildResult listed = decode({"--markers", file.name()});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out,
              "t_s,utc,frame,panel_frame,label\n"
              "0.010000,2026-12-09T14:03:27.422Z,2,2,Start\n"
              "1.600000,2026-12-09T14:03:29.012Z,3,3,\"a;b\"\n"
              "1.600001,2026-12-09T14:03:29.012Z,3,3,c\n");

    // The default output and the log's lines are those of the bytes alone.
    const CaptureFile raw(as_text(frames));
    EXPECT_EQ(decode({raw.name()}).out, cells.out);
}

TEST(SensorDecode, ARawCapturesFramesStandAtTheirPlaceOnTheLine) {
    const std::vector<std::uint8_t> bytes = sensor::testing::model_frames(3, 4);
    const CaptureFile file(as_text(bytes));
    const auto cells = lines_of(decode({file.name()}).out, "\n");
    const ChildResult table = decode({"--frames", file.name()});
    ASSERT_EQ(table.status, 0) << table.err;
    // 17, 34 and 51 bytes at 1,920 a second.
    EXPECT_EQ(table.out, "t_s,utc,frame," + frame_row_header() + ",marker\n" + "0.008855,,1," + cells[0] + ",\n" +
                             "0.017709,,2," + cells[1] + ",\n" + "0.026563,,3," + cells[2] + ",\n");
    EXPECT_EQ(decode({"--markers", file.name()}).out, "t_s,utc,frame,panel_frame,label\n");
}

TEST(SensorDecode, SaysWhatIsWrongWithACaptureBeforeItsCount) {
    std::vector<std::uint8_t> recording;
    encode_header(RecordingHeader{}, recording);
    const std::vector<std::uint8_t> frames = sensor::testing::model_frames(4, 2);
    encode_received(1'000, std::span(frames).first(2 * kFrameLength), recording);
    const std::size_t whole = recording.size();
    encode_received(2'000, std::span(frames).subspan(2 * kFrameLength), recording);
    const CaptureFile cut(as_text(recording).substr(0, recording.size() - 10));
    std::vector<std::uint8_t> newer = recording;
    newer[8] = 2;
    const CaptureFile newer_file(as_text(newer));
    const CaptureFile text("A line of text, and another.\nNo zero byte anywhere.\n");

    struct Case {
        const char* name;
        const CaptureFile& file;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {"a recording cut short", cut, 0,
         "sensor-decode: " + cut.name() + " is cut short at byte " + std::to_string(recording.size() - 10) +
             ": it reads whole up to 00:00:00.001 (byte " + std::to_string(whole) +
             "); the last 37 bytes, part of a record of 47 bytes, are left out.\n" + summary(cut.name(), 2)},
        {"a newer format", newer_file, 1,
         "sensor-decode: " + newer_file.name() +
             " is a recording of format version 2, which this program does not read (it reads version 1); open it with the "
             "sensor-panel that made it, or a newer one.\n"},
        {"not the board's stream", text, 0,
         "sensor-decode: " + text.name() + " holds no frame (no zero byte in 52 bytes): it may not be a capture of the board's stream.\n" +
             summary(text.name(), 0)},
    };
    for (const Case& c : cases) {
        const ChildResult r = decode({c.file.name()});
        EXPECT_EQ(r.status, c.status) << c.name;
        EXPECT_EQ(r.err, c.err) << c.name;
    }

    // A picture or any other file: most of its "frames" are short or overlong.
    std::string picture;
    for (int i = 0; i < 5000; ++i) picture += static_cast<char>((i * 37 + i / 91) % 97);
    const CaptureFile png(picture);
    const ChildResult p = decode({png.name()});
    EXPECT_EQ(p.status, 0);
    EXPECT_EQ(p.err.rfind("sensor-decode: Most frames of " + png.name() + " are malformed (", 0), 0u) << p.err;
    EXPECT_EQ(std::count(p.err.begin(), p.err.end(), '\n'), 2) << "the warning and the count: " << p.err;
}

#ifndef _WIN32
// Every option in the words --help says it: in the manual page and in the README. (Which options
// each manual names is held for every program beside the other programs' tests.)
TEST(SensorDecode, TheManualAndTheReadmeSayEachOptionAsHelpSaysIt) {
    const std::string help = decode({"--help"}).out;
    const auto read = [](const char* path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    };
    std::string manual = read(SENSOR_DECODE_MANUAL);
    for (std::size_t at; (at = manual.find("\\-")) != std::string::npos;) manual.erase(at, 1);
    const std::string readme = read(SENSOR_README);
    const std::size_t from = help.find("Options:\n") + 9;
    const std::string options = help.substr(from, help.find("\n\nArguments:") - from);
    int listed = 0;
    for (const std::string& line : split(options, '\n')) {
        const std::size_t gap = line.find("  ", 2);
        const std::string names = line.substr(2, gap - 2);
        const std::string what = line.substr(line.find_first_not_of(' ', gap));
        ++listed;
        // In the manual, a paragraph whose term names the option and whose first line is the help's.
        const std::size_t at = manual.find("\n" + what + "\n");
        ASSERT_NE(at, std::string::npos) << "the manual on " << names << ": " << what;
        const std::string term = manual.substr(manual.rfind('\n', at - 1) + 1, at - manual.rfind('\n', at - 1) - 1);
        std::string readme_names;
        for (std::string name : split(names, ',')) {
            name.erase(0, name.find_first_not_of(' '));
            EXPECT_NE(term.find(name), std::string::npos) << term;
            readme_names += (readme_names.empty() ? "`" : ", `") + name + "`";
        }
        EXPECT_NE(readme.find("- " + readme_names + ": " + what), std::string::npos) << "the README on " << names << ": " << what;
    }
    EXPECT_EQ(listed, 6);
}
#endif
