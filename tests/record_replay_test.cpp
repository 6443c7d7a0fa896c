// Recording and replaying through the real panel: the demo board recorded while the window shows
// it, the recording decoded by sensor-decode, a capture replayed with START clicked and its log
// compared with sensor-decode --log-lines, a recording onto a full disk, and a run through a
// pseudo-terminal kept whole with its times, markers and pauses.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "io/replay_source.h"
#include "io/serial_link.h"
#include "session/panel_session.h"
#include "io/simulated_connection.h"
#include "tests/support/panel_window.h"
#include "tests/support/pty_pair.h"
#include "tests/support/program_run.h"
#include "tests/support/wait.h"
#include "trends/window/trends_window.h"

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

// A run kept whole: START, a marker by keystroke in the panel and one in Trends, the board quiet
// for 2.5 s, all recorded with times and logged with time columns. The recording read back by
// sensor-decode --frames holds every frame the panel showed, the pause and the markers at their
// frames; replayed at 1x the pause comes back long enough for the cells to look old, at 4x a
// quarter as long.
TEST_F(PanelWindow, ARunIsKeptWholeWithItsTimesMarkersAndPauses) {
    PtyPair board;
    PanelOptions o = options();
    o.log_times = true;
    start(std::make_unique<SerialLink>(board.path()), o);
    ASSERT_TRUE(wait_until([&] { return open(); }));
    const QString recording = dir.filePath("run.rec");
    ASSERT_TRUE(session->start_recording(recording));
    QStringList shown;  // the cells of every frame, as the panel showed them
    QObject::connect(session.get(), &PanelSession::frame_decoded, session.get(), [&] {
        QStringList cells;
        for (const std::string& t : session->logic().cells().Text1) cells << QString::fromStdString(t);
        shown << cells.join(',');
    });
    const auto send = [&](int count, int infrared) {
        const std::uint64_t before = session->logic().frames_decoded();
        board.write(frames(count, infrared));
        ASSERT_TRUE(wait_until([&] { return session->logic().frames_decoded() == before + count; }));
    };

    click(form().Command1());
    send(60, 300);
    window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    QTest::keyClick(&window(), Qt::Key_M, Qt::ControlModifier);
    send(60, 400);
    session->show_trends();
    ASSERT_TRUE(QTest::qWaitForWindowActive(session->trends()));
    QTest::keyClick(session->trends(), Qt::Key_M, Qt::ControlModifier);
    ASSERT_EQ(session->history().markers().end_index(), 2u) << "one marker from each window";
    QElapsedTimer quiet;
    quiet.start();
    ASSERT_TRUE(wait_until([&] { return quiet.elapsed() >= 2500; }, 5000));  // the board pauses
    send(40, 500);
    session->stop_recording();
    session->shutdown();

    const auto table = run_program(QStringLiteral(SENSOR_DECODE_PATH), {"--frames", recording});
    ASSERT_EQ(table.status, 0) << table.err.toStdString();
    QStringList rows = table.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 1 + shown.size());
    EXPECT_TRUE(rows.takeFirst().startsWith("t_s,utc,frame,"));
    double longest_gap = 0;
    double previous_t = 0;
    for (int i = 0; i < rows.size(); ++i) {
        const QStringList f = rows[i].split(',');
        ASSERT_EQ(f.size(), 20) << rows[i].toStdString();
        EXPECT_EQ(f[2].toInt(), i + 1);
        EXPECT_EQ(f.mid(3, 16).join(','), shown[i]) << "frame " << i + 1;
        const QString marker = i == 60 ? "Marker 1" : i == 120 ? "Marker 2" : "";
        EXPECT_EQ(f[19], marker) << "frame " << i + 1;
        longest_gap = std::max(longest_gap, f[0].toDouble() - previous_t);
        previous_t = f[0].toDouble();
    }
    EXPECT_GE(longest_gap, 2.4) << "the board's pause is in the recording";

    // The log: the header once, then a line each 50 frames of the run with its time columns; each
    // marker on the first line after it.
    QFile log(dir.filePath("sensors.csv"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().split('\n');
    ASSERT_EQ(lines.size(), 1 + 3 + 1);
    EXPECT_TRUE(lines[0].startsWith("utc,run_clock,frame,"));
    QString previous_utc;
    for (int i = 1; i <= 3; ++i) {
        const QList<QByteArray> f = lines[i].trimmed().split(',');
        ASSERT_EQ(f.size(), 12) << lines[i].toStdString();
        EXPECT_GT(QString::fromLatin1(f[0]), previous_utc) << "times increase";
        previous_utc = QString::fromLatin1(f[0]);
        EXPECT_EQ(f[2].toInt(), 50 * i);
        EXPECT_EQ(QString::fromLatin1(f[11]), i == 2 ? "Marker 1" : i == 3 ? "Marker 2" : "") << "line " << i;
    }

    // Replayed, the pause comes back: at 1x long enough for the cells to look old, at 4x not.
    for (const double speed : {1.0, 4.0}) {
        auto replay = std::make_unique<ReplaySource>(recording);
        replay->set_speed(speed);
        ReplaySource* source = replay.get();
        PanelSession again(quiet_options(dir.filePath("replay.csv")), std::move(replay));
        again.start();
        again.window().show();
        bool looked_old = false;
        QElapsedTimer since;
        since.start();
        qint64 last_frame_ms = 0;
        qint64 longest_ms = 0;
        QObject::connect(&again, &PanelSession::frame_decoded, &again, [&] {
            longest_ms = std::max(longest_ms, since.elapsed() - last_frame_ms);
            last_frame_ms = since.elapsed();
        });
        ASSERT_TRUE(wait_until(
            [&] {
                looked_old = looked_old || again.form().stale();
                return source->at_end();
            },
            15000));
        EXPECT_EQ(again.logic().frames_decoded(), static_cast<std::uint64_t>(shown.size()));
        ASSERT_EQ(again.history().markers().end_index(), 2u) << "the markers come back with the replay";
        EXPECT_EQ(again.history().markers().at(0).label, "Marker 1");
        EXPECT_EQ(again.history().markers().at(1).label, "Marker 2");
        if (speed == 1.0) {
            EXPECT_GE(longest_ms, 2400);
            EXPECT_TRUE(looked_old) << "the pause replayed looks as it did";
        } else {
            EXPECT_GE(longest_ms, 550);
            EXPECT_LT(longest_ms, 1250) << "a quarter of the pause";
            EXPECT_FALSE(looked_old);
        }
    }
}
