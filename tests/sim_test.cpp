// The simulated board as a panel meets it: the pseudo-terminal board and sensor-board-sim, through
// a real pseudo-terminal and the panel's decoder. The model alone is in sim_model_test.cpp.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "panel/panel_logic.h"
#include "tests/support/pty_pair.h"
#include "tests/support/wait.h"
#include "sim/board_model.h"
#include "sim/pty/pty_board.h"

using namespace sensor;
using sensor::testing::wait_until;

namespace {

struct Groups {
    bool infrared, ultrasonic, ground;
};

// The panel's end of the line: the slave opened as a serial port is, decoded by the panel's core.
class PanelEnd {
public:
    explicit PanelEnd(const QString& path) {
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_GE(fd_, 0) << "cannot open " << path.toStdString();
        termios t{};
        ::tcgetattr(fd_, &t);
        cfmakeraw(&t);
        ::tcsetattr(fd_, TCSANOW, &t);
        logic_.Load();
    }
    ~PanelEnd() {
        if (fd_ >= 0) ::close(fd_);
    }

    // Reads what is there; every frame the decoder ends is checked and counted.
    void pump() {
        std::uint8_t buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0) return;
            for (ssize_t i = 0; i < n; ++i) take(buffer[i]);
        }
    }

    void write(std::initializer_list<int> bytes) {
        std::vector<std::uint8_t> b(bytes.begin(), bytes.end());
        ASSERT_EQ(::write(fd_, b.data(), b.size()), static_cast<ssize_t>(b.size()));
    }

    // Drives the event loop until n more frames arrived; true if they did.
    bool next_frames(int n, int deadline_ms = 5000) {
        const int target = frames + n;
        return wait_until([&] { pump(); return frames >= target; }, deadline_ms);
    }

    const std::array<std::string, 16>& text() const { return logic_.cells().Text1; }
    bool infrared_zero() const { return text()[0] == "0" && text()[2] == "0" && text()[4] == "0"; }
    bool ultrasonic_zero() const { return text()[1] == "0" && text()[3] == "0" && text()[5] == "0"; }
    bool ground_zero() const { return text()[9] == "0" && text()[10] == "0"; }

    int frames = 0;
    int broken_frames = 0;  // a zero after something other than 16 data bytes, once in step
    bool in_step = false;

private:
    void take(std::uint8_t ch) {
        if (ch == 0) {
            if (in_step && run_ != 16) ++broken_frames;
            in_step = true;
            run_ = 0;
        } else {
            ++run_;
        }
        if (logic_.receive(ch).frame_ended && in_step) ++frames;
    }

    int fd_ = -1;
    int run_ = 0;
    PanelLogic logic_;
};

}  // namespace

// --- the pseudo-terminal board -----------------------------------------------------------

TEST(PtyBoard, StreamsWholeDecodableFramesAtAboutTheLineRate) {
    PtyBoard board;
    QString error;
    ASSERT_TRUE(board.start(&error)) << error.toStdString();
    PanelEnd panel(board.device_path());
    ASSERT_TRUE(panel.next_frames(20));
    EXPECT_EQ(panel.broken_frames, 0);
    for (int m = 0; m < 3; ++m) {
        const int ir = std::stoi(panel.text()[2 * m]);
        EXPECT_GE(ir, 30);
        EXPECT_LE(ir, 860);
        EXPECT_NE(panel.text()[11 + m], "ERR");
        EXPECT_GT(std::stod(panel.text()[2 * m + 1]), 500);  // 10 cm or further
    }
    for (int g = 0; g < 2; ++g) EXPECT_TRUE(panel.text()[14 + g] == "black" || panel.text()[14 + g] == "white");

    // Loose bounds only: this shows the pacing is on, not how good the clock is.
    const int before = panel.frames;
    const std::uint64_t sent_before = board.frames_sent();
    QElapsedTimer clock;
    clock.start();
    wait_until([&] { panel.pump(); return clock.elapsed() >= 1000; }, 3000);
    panel.pump();
    const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    const double rate = (panel.frames - before) / seconds;
    EXPECT_GT(rate, 60);
    EXPECT_LT(rate, 200);
    EXPECT_NEAR(static_cast<double>(board.frames_sent() - sent_before), panel.frames - before, 3);
    EXPECT_EQ(panel.broken_frames, 0);
}

TEST(PtyBoard, FloodSendsOnlyWholeFrames) {
    PtyBoardOptions options;
    options.flood = true;
    PtyBoard board(options);
    ASSERT_TRUE(board.start(nullptr));
    PanelEnd panel(board.device_path());
    ASSERT_TRUE(panel.next_frames(50000, 30000));
    EXPECT_EQ(panel.broken_frames, 0);
    EXPECT_GE(board.frames_sent(), 50000u);
}

// With nobody reading, the line fills and frames are lost whole: a panel that opens late
// still meets only whole frames, and the board is not stuck.
TEST(PtyBoard, ALineNobodyReadsLosesWholeFrames) {
    PtyBoardOptions options;
    options.bytes_per_second = 400000;
    PtyBoard board(options);
    ASSERT_TRUE(board.start(nullptr));
    wait_until([] { return false; }, 500);
    PanelEnd panel(board.device_path());
    // Past the backlog (the line holds about 14 KB), where a frame cut short would show.
    ASSERT_TRUE(panel.next_frames(3000));
    EXPECT_EQ(panel.broken_frames, 0);
}

TEST(PtyBoard, CommandMessagesSwitchGroupsAndResetRestores) {
    struct Case {
        const char* name;
        std::initializer_list<int> message;
        std::uint8_t control;
        Groups zero;
    };
    const Case cases[] = {
        {"infrared off", {18, 0}, 18, {true, false, false}},
        {"reset brings infrared back", {0x40 | 18, 0}, 0x40 | 18, {false, false, false}},
        {"only the byte before the zero counts", {5, 1, 17, 0}, 17, {false, true, false}},
        {"a lone zero is no message", {0}, 17, {false, true, false}},
        {"ground off", {3, 0}, 3, {false, false, true}},
        {"reset", {0x40 | 3, 0}, 0x40 | 3, {false, false, false}},
    };
    PtyBoard board;
    ASSERT_TRUE(board.start(nullptr));
    std::vector<std::uint8_t> received;
    QObject::connect(&board, &PtyBoard::command_received, [&](std::uint8_t b) { received.push_back(b); });
    PanelEnd panel(board.device_path());
    ASSERT_TRUE(panel.next_frames(3));
    EXPECT_FALSE(panel.infrared_zero() || panel.ultrasonic_zero() || panel.ground_zero());

    std::size_t messages = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        panel.write(c.message);
        if (c.message.size() > 1) ++messages;
        auto matches = [&] {
            return panel.infrared_zero() == c.zero.infrared && panel.ultrasonic_zero() == c.zero.ultrasonic &&
                   panel.ground_zero() == c.zero.ground;
        };
        // Frames already on the line show the state before; once a frame shows the new one, all do.
        ASSERT_TRUE(wait_until([&] { panel.pump(); return received.size() == messages && matches(); }));
        EXPECT_EQ(board.control_byte(), c.control);
        for (int i = 0; i < 10; ++i) {
            ASSERT_TRUE(panel.next_frames(1));
            ASSERT_TRUE(matches()) << "frame " << i << " after the change";
        }
    }
    ASSERT_EQ(received.size(), messages);
    EXPECT_EQ(received.back(), 0x40 | 3);
}

TEST(PtyBoard, LinkReplacesAnOldLinkAndGoesOnStop) {
    QTemporaryDir dir;
    const QString link = dir.filePath("board");
    ASSERT_TRUE(QFile::link("/nonexistent", link));
    PtyBoard board;
    QString error;
    EXPECT_FALSE(board.make_link(link, &error)) << "linked before start";
    ASSERT_TRUE(board.start(&error));
    ASSERT_TRUE(board.make_link(link, &error)) << error.toStdString();
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), board.device_path());
    {
        PanelEnd panel(link);
        EXPECT_TRUE(panel.next_frames(2));
    }
    const QString file = dir.filePath("file");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_FALSE(board.make_link(file, &error)) << "a plain file was replaced";
    EXPECT_FALSE(error.isEmpty());
    board.stop();
    EXPECT_FALSE(QFileInfo(link).isSymLink()) << "the link outlived the board";
    EXPECT_TRUE(QFileInfo::exists(file));
}

// --- sensor-board-sim --------------------------------------------------------------------

TEST(SensorBoardSim, ServesUntilTerminatedAndRemovesItsLink) {
    QTemporaryDir dir;
    const QString link = dir.filePath("board");
    QProcess sim;
    sim.start(SENSOR_BOARD_SIM_PATH, {"--link", link, "--seed", "5"});
    ASSERT_TRUE(sim.waitForStarted());
    ASSERT_TRUE(wait_until([&] { return sim.canReadLine(); }));
    const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
    EXPECT_TRUE(path.startsWith("/dev/")) << path.toStdString();
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), path);
    {
        PanelEnd panel(path);
        EXPECT_TRUE(panel.next_frames(10));
        EXPECT_EQ(panel.broken_frames, 0);
    }
    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

TEST(SensorBoardSim, ExitStatusForEachUse) {
    QTemporaryDir dir;
    struct Case {
        const char* name;
        QStringList arguments;
        int status;
    };
    const Case cases[] = {
        {"help", {"--help"}, 0},
        {"version", {"--version"}, 0},
        {"unknown option", {"--bad-option"}, 2},
        {"rate not a number", {"--rate", "fast"}, 2},
        {"rate zero", {"--rate", "0"}, 2},
        {"rate and flood", {"--rate", "100", "--flood"}, 2},
        {"seed negative", {"--seed", "-1"}, 2},
        {"frames without capture", {"--frames", "3"}, 2},
        {"frames zero", {"--capture", dir.filePath("x.bin"), "--frames", "0"}, 2},
        {"capture to a missing folder", {"--capture", dir.filePath("no/such/x.bin"), "--frames", "3"}, 1},
    };
    for (const Case& c : cases) {
        QProcess sim;
        sim.start(SENSOR_BOARD_SIM_PATH, c.arguments);
        ASSERT_TRUE(sim.waitForFinished(10000)) << c.name;
        EXPECT_EQ(sim.exitCode(), c.status) << c.name;
        const QByteArray err = sim.readAllStandardError();
        if (c.status != 0) {
            EXPECT_FALSE(err.isEmpty()) << c.name;
        } else {
            EXPECT_FALSE(sim.readAllStandardOutput().isEmpty()) << c.name;
        }
        if (c.status == 2) {
            EXPECT_TRUE(err.contains("Usage:")) << c.name;
        }
    }
}

TEST(SensorBoardSim, CaptureHoldsTheModelsFrames) {
    QTemporaryDir dir;
    const QString path = dir.filePath("capture.bin");
    QProcess sim;
    sim.start(SENSOR_BOARD_SIM_PATH, {"--capture", path, "--frames", "300", "--seed", "9"});
    ASSERT_TRUE(sim.waitForFinished(10000));
    ASSERT_EQ(sim.exitCode(), 0) << sim.readAllStandardError().toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 300 * 17);
    BoardModel model(9);
    for (int i = 0; i < 300; ++i) {
        const EncodedFrame f = encode_frame(model.next_frame());
        ASSERT_EQ(bytes.mid(i * 17, 17), QByteArray(reinterpret_cast<const char*>(f.data()), 17)) << "frame " << i;
    }
}
