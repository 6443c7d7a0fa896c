// A capture end to end: recorded from a board on a pseudo-terminal, read back by sensor-decode,
// replayed byte for byte, and replayed through the core with the log lines it gives directly; a
// board that stalls, with markers set, read back with its times and replayed at 1× and 4×.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <span>
#include <string>
#include <vector>

#include "eval/frame_row.h"
#include "io/capture_file.h"
#include "io/replay_source.h"
#include "io/serial_link.h"
#include "panel/panel_logic.h"
#include "sim/board_model.h"
#include "sim/frame_encoder.h"
#include "tests/support/random_frames.h"
#include "sim/pty/pty_board.h"
#include "tests/support/program_run.h"
#include "tests/support/pty_pair.h"
#include "tests/support/wait.h"

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

std::string cells_row(const PanelLogic& panel) {
    std::string row;
    for (std::size_t i = 0; i < panel.cells().Text1.size(); ++i) row += (i ? "," : "") + panel.cells().Text1[i];
    return row;
}

// When a replay handed over the chunks that ended two frames, in seconds apart.
double replayed_gap(const QString& path, double speed, std::uint64_t before, std::uint64_t after) {
    ReplaySource replay(path);
    PanelLogic panel;
    panel.Load();
    QElapsedTimer clock;
    clock.start();
    double at_before = -1, at_after = -1;
    QObject::connect(&replay, &ReplaySource::received, [&](const QByteArray& chunk) {
        panel.receive(byte_span(chunk), {});
        const double now = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        if (at_before < 0 && panel.frames_decoded() >= before) at_before = now;
        if (at_after < 0 && panel.frames_decoded() >= after) at_after = now;
    });
    replay.set_speed(speed);
    replay.open();
    EXPECT_TRUE(sensor::testing::wait_until([&] { return replay.at_end(); }, kDeadlineMs)) << speed;
    return at_after - at_before;
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
    EXPECT_EQ(QFile(path).size(), capture.size());

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

TEST(CaptureRoundTrip, AStalledBoardWithMarkersReadsBackWithItsTimesAndReplaysTheStall) {
    QTemporaryDir dir;
    const QString path = dir.filePath("stall.bin");
    const QByteArray frames = demo_frames(200);
    const auto frame_bytes = [&](int first, int count) {
        return frames.mid(first * static_cast<qsizetype>(kFrameLength), count * static_cast<qsizetype>(kFrameLength));
    };
    sensor::testing::PtyPair pty;
    SerialLink link(pty.path());
    CaptureFile capture;
    ASSERT_TRUE(capture.start(path, pty.path()));
    PanelLogic panel('.');
    panel.Load();
    std::vector<std::string> decoded;
    QObject::connect(&link, &SerialLink::received, [&](const QByteArray& chunk) {
        capture.append(chunk);
        panel.receive(byte_span(chunk), [&](const FrameResult&) { decoded.push_back(cells_row(panel)); });
    });
    link.open();
    ASSERT_TRUE(sensor::testing::wait_until([&] { return link.state() == BoardConnection::State::Open; }, kDeadlineMs));
    const auto send_and_wait = [&](int first, int count) {
        pty.write(frame_bytes(first, count));
        return sensor::testing::wait_until([&] { return panel.frames_decoded() >= static_cast<std::uint64_t>(first + count); },
                                           kDeadlineMs);
    };

    ASSERT_TRUE(send_and_wait(0, 50));
    capture.append_marker(Marker{panel.frames_decoded(), "Marker 1"});
    ASSERT_TRUE(send_and_wait(50, 50));
    // The board stalls for a second and a half: only time can make a stall.
    QElapsedTimer stall;
    stall.start();
    ASSERT_TRUE(sensor::testing::wait_until([&] { return stall.elapsed() >= 1500; }, 5000));
    ASSERT_TRUE(send_and_wait(100, 50));
    capture.append_marker(Marker{panel.frames_decoded(), "after the stall, \"B\""});
    ASSERT_TRUE(send_and_wait(150, 50));
    link.close();
    ASSERT_TRUE(capture.stop());
    ASSERT_EQ(decoded.size(), 200u);

    const auto table = sensor::testing::run_program(QStringLiteral(SENSOR_DECODE_PATH), {"--frames", path});
    ASSERT_EQ(table.status, 0) << table.err.toStdString();
    EXPECT_EQ(table.err, "sensor-decode: 200 frames from " + path + ", 0 short, 0 overlong.\n");
    const QStringList rows = table.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 201);
    EXPECT_EQ(rows[0], "t_s,utc,frame," + QString::fromStdString(frame_row_header()) + ",marker");
    std::vector<double> t_s;
    for (int i = 1; i <= 200; ++i) {
        const QStringList f = rows[i].split(',');
        ASSERT_GE(f.size(), 20) << rows[i].toStdString();
        t_s.push_back(f[0].toDouble());
        EXPECT_TRUE(f[1].endsWith('Z')) << "a recording says when it was made: " << f[1].toStdString();
        EXPECT_EQ(f[2], QString::number(i));
        EXPECT_EQ(f.mid(3, 16).join(','), QString::fromStdString(decoded[static_cast<std::size_t>(i - 1)])) << "frame " << i;
        const QString marker = f.mid(19).join(',');
        EXPECT_EQ(marker, i == 51 ? "Marker 1" : i == 151 ? "\"after the stall, \"\"B\"\"\"" : "") << "frame " << i;
    }
    const double stall_s = t_s[100] - t_s[99];
    EXPECT_GE(stall_s, 1.5) << "the stall is in the recorded times";
    EXPECT_LT(stall_s, 3.0);
    for (std::size_t i = 1; i < t_s.size(); ++i) {
        if (i == 100) continue;
        EXPECT_LT(t_s[i] - t_s[i - 1], 1.0) << "only one stall, between frames 100 and 101; at " << i;
    }

    const auto markers = sensor::testing::run_program(QStringLiteral(SENSOR_DECODE_PATH), {"--markers", path});
    ASSERT_EQ(markers.status, 0) << markers.err.toStdString();
    const QStringList marker_rows = markers.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(marker_rows.size(), 3);
    EXPECT_EQ(marker_rows[0], "t_s,utc,frame,panel_frame,label");
    EXPECT_TRUE(marker_rows[1].endsWith(",50,50,Marker 1")) << marker_rows[1].toStdString();
    EXPECT_TRUE(marker_rows[2].endsWith(",150,150,\"after the stall, \"\"B\"\"\"")) << marker_rows[2].toStdString();

    // The gap between the chunks that bring frames 100 and 101: the stall again at 1×, a quarter
    // as long at 4×. A loaded machine may hand over late, so the bounds are wide.
    const double at_1x = replayed_gap(path, 1, 100, 101);
    EXPECT_GT(at_1x, stall_s * 0.75) << "at 1x";
    EXPECT_LT(at_1x, stall_s + 0.6) << "at 1x";
    const double at_4x = replayed_gap(path, 4, 100, 101);
    EXPECT_GT(at_4x, stall_s / 4 * 0.75) << "at 4x";
    EXPECT_LT(at_4x, stall_s / 4 + 0.4) << "at 4x";
}
