// Recording and replaying through the real panel: the demo board recorded while the window shows
// it, the recording decoded by sensor-decode, a capture replayed with START clicked and its log
// compared with sensor-decode --log-lines, and a recording onto a full disk.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "io/replay_source.h"
#include "session/panel_session.h"
#include "io/simulated_connection.h"
#include "tests/support/panel_window.h"
#include "tests/support/pty_pair.h"
#include "tests/support/program_run.h"
#include "tests/support/wait.h"

using namespace sensor;
using namespace sensor::testing;
using sensor::testing::quiet_options;
using sensor::testing::run_program;
using sensor::testing::wait_until;

namespace {


QByteArray read_all(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

}  // namespace

TEST(RecordReplay, ARecordingOfTheDemoDecodesToTheFramesThePanelDecoded) {
    QTemporaryDir dir;
    const QString capture = dir.filePath("run/demo.bin");
    PanelSession session(quiet_options(dir.filePath("demo.csv")), std::make_unique<SimulatedConnection>(3));
    session.start();
    session.window().show();
    ASSERT_TRUE(session.start_recording(capture));
    EXPECT_TRUE(session.window().status().fields_text().contains("recording demo.bin"))
        << session.window().status().fields_text().toStdString();
    // Whole frames since the recording began: the demo streams from its first byte of each frame.
    const std::uint64_t before = session.logic().frames_decoded();
    ASSERT_TRUE(wait_until([&] { return session.logic().frames_decoded() >= before + 200; }, 10000));
    session.stop_recording();
    const std::uint64_t decoded = session.logic().frames_decoded() - before;

    const auto r = run_program(QStringLiteral(SENSOR_DECODE_PATH), {capture});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(static_cast<std::uint64_t>(lines.size()), decoded) << "one decoded line per frame the panel decoded";
    // The last line is what the panel's cells showed at the stop.
    QStringList cells;
    for (int i = 0; i < 16; ++i) cells << QString::fromStdString(session.logic().cells().Text1[static_cast<std::size_t>(i)]);
    EXPECT_EQ(lines.last(), cells.join(','));
}

TEST(RecordReplay, AFastReplayWithStartClickedLogsWhatSensorDecodeSays) {
    QTemporaryDir dir;
    const QString capture = dir.filePath("run.bin");
    const auto made = run_program(QStringLiteral(SENSOR_BOARD_SIM_PATH), {"--capture", capture, "--frames", "1234", "--seed", "5"});
    ASSERT_EQ(made.status, 0) << made.err.toStdString();

    const QString log = dir.filePath("replay.csv");
    auto replay = std::make_unique<ReplaySource>(capture);
    replay->set_speed(ReplaySource::kFastest);
    replay->pause();  // START goes first, before the first byte
    ReplaySource* source = replay.get();
    PanelSession session(quiet_options(log), std::move(replay));
    session.start();
    session.window().show();
    QTest::mouseClick(session.form().Command1(), Qt::LeftButton);
    ASSERT_EQ(session.form().Command1()->text(), "STOP");
    EXPECT_EQ(session.window().status().message(), "Commands go to no board during a replay; the panel alone follows them.");
    source->resume();
    ASSERT_TRUE(wait_until([&] { return source->at_end(); }, 20000));
    EXPECT_EQ(session.logic().frames_decoded(), 1234u);
    session.shutdown();

    const auto expected = run_program(QStringLiteral(SENSOR_DECODE_PATH), {"--log-lines", capture});
    ASSERT_EQ(expected.status, 0) << expected.err.toStdString();
    EXPECT_EQ(read_all(log), expected.out.toUtf8());
    EXPECT_EQ(read_all(log).count('\n'), 1234 / 50);
}

// A replay chosen while a port was in use: there is no board to bring in step, so none is said to
// be told; the port field says when the replay is paused and when it ended; and a restart does not
// join the frame the end cut off to the first frame of the new play.
TEST_F(PanelWindow, AReplaySaysWhereItStandsAndRestartsCleanly) {
    PtyPair board;
    start_on(board.path());
    ASSERT_TRUE(wait_until([&] { return open(); }));
    click(form().Command1());  // the board hears START; a replay must not be said to
    const QString path = dir.filePath("cut.bin");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(frames(120) + QByteArray("\x05\x06\x07\x08\x09", 5));  // the last frame cut off
    }
    emit window().replay_requested(path);
    ASSERT_TRUE(wait_until([&] { return status().fields_text().contains("replay of cut.bin: open"); }))
        << status().fields_text().toStdString();
    emit window().replay_pause_requested(true);
    EXPECT_TRUE(status().fields_text().contains("replay of cut.bin: paused")) << status().fields_text().toStdString();
    emit window().replay_speed_requested(ReplaySource::kFastest);
    emit window().replay_pause_requested(false);
    ASSERT_TRUE(wait_until([&] { return status().fields_text().contains("replay of cut.bin: ended"); }))
        << status().fields_text().toStdString();
    EXPECT_EQ(session->health().frames(), 120u) << "counted from the replay's start";

    emit window().replay_restart_requested();
    ASSERT_TRUE(wait_until([&] { return session->health().frames() == 240u; }));
    EXPECT_EQ(session->health().wrapped_frames(), 0u) << "the cut frame is not joined to the next play's first";
    for (const StatusMessage& m : status().history())
        EXPECT_FALSE(m.text.contains("was sent the panel's state")) << m.text.toStdString();
}

TEST(RecordReplay, ARecordingOntoAFullDiskStopsWithItsSentenceAndThePanelGoesOn) {
    QTemporaryDir dir;
    PanelOptions options = quiet_options(dir.filePath("demo.csv"));
    PanelSession session(options, std::make_unique<SimulatedConnection>(4));
    session.start();
    ASSERT_TRUE(session.start_recording(QStringLiteral("/dev/full")));
    ASSERT_TRUE(wait_until([&] { return !session.recorder().recording(); }, 5000)) << "the first write fails within a second";
    EXPECT_TRUE(session.window().status().message().startsWith("Recording to /dev/full stopped: no space left on device;"))
        << session.window().status().message().toStdString();
    const std::uint64_t frames = session.logic().frames_decoded();
    EXPECT_TRUE(wait_until([&] { return session.logic().frames_decoded() > frames + 20; })) << "the panel goes on";
    EXPECT_FALSE(session.window().status().fields_text().contains("recording"));
}

TEST(RecordReplay, TheCommandLineRefusesWhatCannotBeReplayed) {
    QTemporaryDir dir;
    struct Case {
        QStringList args;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {{"--replay", "x.bin", "--demo"}, 2, "--replay cannot be given with --port or --demo"},
        {{"--replay", "x.bin", "--port", "/dev/ttyS0"}, 2, "--replay cannot be given with --port or --demo"},
        {{"--speed", "4"}, 2, "--speed needs --replay FILE."},
        {{"--replay", "x.bin", "--speed", "3"}, 2, "--speed takes 0.25, 1, 4, 16 or max"},
        {{"--replay", dir.filePath("absent.bin")}, 1, "no such file."},
    };
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const auto r = run_program(QStringLiteral(SENSOR_PANEL_PATH), c.args, {}, env);
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(r.err.contains(QLatin1String(c.says))) << r.err.toStdString();
    }
}
