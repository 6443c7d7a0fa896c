// A capture end to end: recorded from a board on a pseudo-terminal, read back by sensor-decode,
// replayed byte for byte, and replayed through the core with the log lines it gives directly.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <span>
#include <string>
#include <vector>

#include "io/capture_file.h"
#include "io/replay_source.h"
#include "io/serial_link.h"
#include "panel/panel_logic.h"
#include "sim/board_model.h"
#include "sim/frame_encoder.h"
#include "tests/support/random_frames.h"
#include "sim/pty/pty_board.h"

using namespace sensor;

namespace {

constexpr int kDeadlineMs = 20'000;

QByteArray demo_frames(int frames) {
    const std::vector<std::uint8_t> bytes = sensor::testing::model_frames(frames, 7);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

std::span<const std::uint8_t> byte_span(const QByteArray& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())};
}

// Plays the whole capture at full speed in a real event loop, as the panel runs one.
QByteArray play_fast(ReplaySource& replay) {
    QByteArray played;
    QEventLoop loop;
    QObject::connect(&replay, &ReplaySource::received, &loop, [&](const QByteArray& c) { played += c; });
    QObject::connect(&replay, &ReplaySource::finished, &loop, [&] { loop.quit(); });
    QObject::connect(&replay, &ReplaySource::message, &loop, [&](const QString& m) {
        if (!replay.at_end()) ADD_FAILURE() << m.toStdString();
    });
    QTimer::singleShot(kDeadlineMs, &loop, [&] { loop.quit(); });
    replay.set_speed(ReplaySource::kFastest);
    if (replay.state() != BoardConnection::State::Open) replay.open();
    loop.exec();
    return played;
}

std::vector<std::string> log_lines(PanelLogic& panel, const QByteArray& bytes) {
    std::vector<std::string> lines;
    panel.receive(byte_span(bytes), [&](const FrameResult& o) {
        if (o.log_line) lines.push_back(*o.log_line);
    });
    return lines;
}

struct TakesEverything : CommandSink {
    bool send(const ControlMessage&) override { return true; }
};

}  // namespace

TEST(CaptureRoundTrip, ARecordedBoardDecodesToTheFramesThePanelDecodedWhileRecording) {
    QTemporaryDir dir;
    const QString path = dir.filePath("board.bin");
    PtyBoard board(PtyBoardOptions{.bytes_per_second = 19200.0});
    QString error;
    ASSERT_TRUE(board.start(&error)) << error.toStdString();
    SerialLink link(board.device_path());
    CaptureFile capture;
    ASSERT_TRUE(capture.start(path));

    // As sensor-decode prints them: Text1(0) to Text1(15) of each frame, "." as the separator.
    PanelLogic panel('.');
    panel.Load();
    std::string decoded;
    QObject::connect(&link, &SerialLink::received, [&](const QByteArray& chunk) {
        capture.append(chunk);
        panel.receive(byte_span(chunk), [&](const FrameResult&) {
            for (std::size_t i = 0; i < panel.cells().Text1.size(); ++i) decoded += (i ? "," : "") + panel.cells().Text1[i];
            decoded += '\n';
        });
    });
    link.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.frames_decoded() >= 300; }, kDeadlineMs));
    link.close();
    ASSERT_TRUE(capture.stop());

    QProcess decode;
    decode.start(SENSOR_DECODE_PATH, {path});
    ASSERT_TRUE(decode.waitForFinished(kDeadlineMs));
    EXPECT_EQ(decode.exitCode(), 0) << decode.readAllStandardError().toStdString();
    EXPECT_EQ(decode.readAllStandardOutput().toStdString(), decoded);
}

TEST(CaptureRoundTrip, EveryByteValueComesBackFromRecordThenReplay) {
    QTemporaryDir dir;
    const QString path = dir.filePath("all.bin");
    QByteArray sent;
    for (int round = 0; round < 4; ++round)
        for (int v = 0; v < 256; ++v) sent += static_cast<char>((v * (2 * round + 1)) & 0xFF);

    CaptureFile capture;
    ASSERT_TRUE(capture.start(path));
    for (qsizetype at = 0, n = 1; at < sent.size(); at += n, n = n * 3 % 97 + 1) capture.append(sent.mid(at, n));
    ASSERT_TRUE(capture.stop());
    EXPECT_EQ(capture.size(), sent.size());

    ReplaySource replay(path);
    EXPECT_EQ(play_fast(replay), sent);
}

TEST(CaptureRoundTrip, AFastReplayWithStartClickedGivesTheLogLinesOfTheSameBytesFedDirectly) {
    QTemporaryDir dir;
    // Ten log lines' worth of frames, and a last frame cut short.
    const QByteArray capture = demo_frames(520).chopped(5);

    PanelLogic direct;
    TakesEverything board;
    direct.Load();
    direct.set_sink(&board);
    ASSERT_EQ(direct.Command1_Click(), CommandOutcome::Sent);
    const std::vector<std::string> expected = log_lines(direct, capture);
    ASSERT_EQ(expected.size(), 10u);

    const QString path = dir.filePath("run.bin");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(capture);
    }
    ReplaySource replay(path);
    PanelLogic panel;
    panel.Load();
    panel.set_sink(&replay);
    std::vector<std::string> lines;
    QObject::connect(&replay, &ReplaySource::received, [&](const QByteArray& c) {
        for (std::string& line : log_lines(panel, c)) lines.push_back(std::move(line));
    });
    // START before the first byte, as an operator would click it before the replay runs.
    replay.pause();
    replay.open();
    ASSERT_EQ(panel.Command1_Click(), CommandOutcome::Sent);
    EXPECT_EQ(panel.cells().Command1, "STOP");
    replay.resume();

    EXPECT_EQ(play_fast(replay), capture);
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(panel.frames_decoded(), direct.frames_decoded());
    EXPECT_EQ(panel.cells().Text1, direct.cells().Text1);
}
