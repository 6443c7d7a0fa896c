// sensor-decode run as a user runs it, on captures written to a real file system.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "sim/frame_encoder.h"

namespace fs = std::filesystem;
using namespace sensor;

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

Result run(const std::string& args) {
    const fs::path dir = fs::temp_directory_path();
    const fs::path out = dir / ("sd_out_" + std::to_string(::getpid()));
    const fs::path err = dir / ("sd_err_" + std::to_string(::getpid()));
    const std::string cmd = std::string(SENSOR_DECODE_PATH) + " " + args + " >" + out.string() + " 2>" + err.string();
    const int raw = std::system(cmd.c_str());
    Result r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
    fs::remove(out);
    fs::remove(err);
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

}  // namespace

TEST(SensorDecode, OneLinePerZeroByteWithTheSixteenCells) {
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> ir(0, 1023), tof(0, 65535);
    std::vector<BoardReadings> sent;
    std::string capture = "\x05\x07";  // the tail of a frame from before the capture started
    for (int n = 0; n < 300; ++n) {
        BoardReadings r{{ir(rng), ir(rng), ir(rng)}, {tof(rng), 0, 300}, {ir(rng), 150}};
        sent.push_back(r);
        for (auto b : encode_frame(r)) capture += static_cast<char>(b);
    }
    const fs::path file = fs::temp_directory_path() / "sensor_decode_capture.bin";
    std::ofstream(file, std::ios::binary) << capture;

    const Result r = run(file.string());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    auto lines = split(r.out, '\n');
    ASSERT_EQ(lines.back(), "") << "output ends with a line end";
    lines.pop_back();
    // The stray bytes ahead of the first frame spoil only the first line; the zero re-aligns.
    ASSERT_EQ(lines.size(), 300u) << "one line per zero byte";
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const auto f = split(lines[i], ',');
        ASSERT_EQ(f.size(), 16u) << lines[i];
        const BoardReadings& s = sent[i];
        EXPECT_EQ(f[0], std::to_string(s.infrared[0]));
        EXPECT_EQ(f[1], std::to_string(s.time_of_flight[0]));
        EXPECT_EQ(f[3], "0");
        EXPECT_EQ(f[5], "300");
        EXPECT_EQ(f[7], "0");
        EXPECT_EQ(f[8], "0.0508");
        EXPECT_EQ(f[10], "150");
        EXPECT_EQ(f[15], "black");
        EXPECT_TRUE(f[14] == "black" || f[14] == "white");
    }

    // Standard input gives the same, with or without "-".
    EXPECT_EQ(run("< " + file.string()).out, r.out);
    EXPECT_EQ(run("- < " + file.string()).out, r.out);
    fs::remove(file);
}

TEST(SensorDecode, FailuresAreOneSentenceAndAnExitStatus) {
    const Result missing = run("/nonexistent/capture.bin");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "sensor-decode: Cannot read /nonexistent/capture.bin: No such file or directory.\n");

    const Result directory = run(fs::temp_directory_path().string());
    EXPECT_EQ(directory.status, 1);
    EXPECT_NE(directory.err.find("Is a directory"), std::string::npos) << directory.err;

    const Result unknown = run("--frobnicate");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("Unknown option 'frobnicate'"), std::string::npos) << unknown.err;

    EXPECT_EQ(run("a b").status, 2);

    const Result help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Text1(0) to Text1(15)"), std::string::npos);
}

TEST(SensorDecode, FullDiskIsReported) {
    const std::string cmd = std::string(SENSOR_DECODE_PATH) + " < /dev/null > /dev/full 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(cmd.c_str())), 0) << "nothing to write, nothing fails";
    const fs::path file = fs::temp_directory_path() / "sensor_decode_zeros.bin";
    std::ofstream(file, std::ios::binary) << std::string(1000, '\0');
    const std::string cmd2 = std::string(SENSOR_DECODE_PATH) + " " + file.string() + " > /dev/full 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(cmd2.c_str())), 1);
    fs::remove(file);
}
