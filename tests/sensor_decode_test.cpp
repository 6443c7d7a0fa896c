// sensor-decode run as a user runs it, on captures written to a real file system and piped through
// standard input; natively and, built for Windows, under Wine.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "sim/frame_encoder.h"
#include "tests/support/child_process.h"

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
    EXPECT_EQ(r.err, "");
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
    EXPECT_EQ(decode({}, {file.path(), {}}).out, r.out);
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
        EXPECT_EQ(log.err, "");
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
        {{"--frobnicate"}, 2, "sensor-decode: Unknown option '--frobnicate'.\nUsage: sensor-decode [--log-lines] [capture|-]\n"},
        {{"-x", "a"}, 2, "sensor-decode: Unknown option '-x'.\nUsage: sensor-decode [--log-lines] [capture|-]\n"},
        {{"a", "b"}, 2, "sensor-decode: Give at most one capture file.\nUsage: sensor-decode [--log-lines] [capture|-]\n"},
    };
    for (const Case& c : cases) {
        const ChildResult r = decode(c.args);
        EXPECT_EQ(r.status, c.status) << c.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "") << c.err;
    }

    const ChildResult help = decode({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: sensor-decode [--log-lines] [capture|-]\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("Text1(0) to Text1(15)"), std::string::npos);
    EXPECT_NE(help.out.find("--log-lines"), std::string::npos);
    EXPECT_EQ(decode({"-h"}).out, help.out);

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
