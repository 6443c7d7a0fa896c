// A capture replayed from a real file: paced by the clock, paused, restarted, cut short, and
// refused in one sentence when it cannot be read; a recording with times tells its markers and
// commands in order with its bytes, and its progress in recorded time.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <span>
#include <vector>

#include "io/replay_source.h"
#include "panel/panel_logic.h"
#include "recording/recording_encoder.h"
#include "sim/board_model.h"
#include "sim/frame_encoder.h"
#include "tests/support/random_frames.h"

using namespace sensor;

namespace {

constexpr int kDeadlineMs = 20'000;

QByteArray pattern(int n) {
    QByteArray bytes;
    for (int i = 0; i < n; ++i) bytes += static_cast<char>((i * 31 + i / 7) & 0xFF);
    return bytes;
}

QByteArray demo_frames(int frames) {
    const std::vector<std::uint8_t> bytes = sensor::testing::model_frames(frames, 7);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

QString write_capture(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

// What a replay handed over, when, and what it said.
struct Played {
    QByteArray bytes;
    std::vector<qsizetype> chunks;
    QStringList messages;
    int finished = 0;
    explicit Played(ReplaySource& replay) {
        QObject::connect(&replay, &ReplaySource::received, [this](const QByteArray& c) {
            bytes += c;
            chunks.push_back(c.size());
        });
        QObject::connect(&replay, &ReplaySource::message, [this](const QString& m) { messages << m; });
        QObject::connect(&replay, &ReplaySource::finished, [this] { ++finished; });
    }
};

// Runs a real event loop, as the panel does, until the replay has ended; qWaitFor's own pauses
// between turns would slow a replay that hands over a chunk per turn.
bool play_to_end(ReplaySource& replay, int deadline_ms = kDeadlineMs) {
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] { loop.exit(1); });
    QObject::connect(&replay, &ReplaySource::finished, &loop, [&] { loop.exit(0); });
    deadline.start(deadline_ms);
    return loop.exec() == 0;
}

// A recording with times, as the recorder writes one.
QByteArray timed_recording(const std::function<void(std::vector<std::uint8_t>&)>& records) {
    std::vector<std::uint8_t> bytes;
    RecordingHeader header;
    header.port = "/dev/ttyUSB0";
    encode_header(header, bytes);
    records(bytes);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

std::vector<std::uint8_t> u8(const QByteArray& bytes) { return {bytes.begin(), bytes.end()}; }

void feed(PanelLogic& panel, const QByteArray& bytes) {
    panel.receive(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())), {});
}

}  // namespace

TEST(Replay, PacedAtTheLineRateTimesTheSpeed) {
    QTemporaryDir dir;
    struct Case {
        double speed;
        double seconds;  // how long to watch
    };
    for (const Case c : {Case{0.25, 1.0}, Case{1, 0.6}, Case{4, 0.5}, Case{16, 0.5}}) {
        const double rate = ReplaySource::kLineRate * c.speed;
        const auto watched = static_cast<qsizetype>(rate * c.seconds);
        const QByteArray capture = pattern(static_cast<int>(watched * 2));
        ReplaySource replay(write_capture(dir, "paced.bin", capture));
        Played played(replay);
        ASSERT_TRUE(replay.set_speed(c.speed));

        // The test's clock starts first, so a replay on time never has more than rate × elapsed.
        QElapsedTimer clock;
        clock.start();
        qsizetype most_ahead = std::numeric_limits<qsizetype>::min();
        QObject::connect(&replay, &ReplaySource::received, [&] {
            const auto allowed = static_cast<qsizetype>(rate * static_cast<double>(clock.nsecsElapsed()) / 1e9);
            most_ahead = std::max(most_ahead, played.bytes.size() - allowed);
        });
        replay.open();
        ASSERT_TRUE(QTest::qWaitFor([&] { return played.bytes.size() >= watched; }, kDeadlineMs)) << c.speed;
        const double elapsed_s = static_cast<double>(clock.nsecsElapsed()) / 1e9;

        EXPECT_LE(most_ahead, 0) << "at " << c.speed << "x no byte comes before its time";
        // Late by a loaded machine is allowed, but not by a tick counter that loses time.
        EXPECT_LT(elapsed_s, c.seconds * 1.5 + 0.2) << "at " << c.speed << "x";
        EXPECT_EQ(played.bytes, capture.left(played.bytes.size()));
        EXPECT_EQ(replay.position(), played.bytes.size());
    }
}

TEST(Replay, AsFastAsThePanelTakesItInBigChunksWithTheLoopStillTurning) {
    QTemporaryDir dir;
    const QByteArray capture = pattern(1 << 20);
    ReplaySource replay(write_capture(dir, "fast.bin", capture));
    Played played(replay);
    ASSERT_TRUE(replay.set_speed(ReplaySource::kFastest));
    replay.open();
    EXPECT_EQ(replay.state(), BoardConnection::State::Open);
    EXPECT_EQ(replay.size(), capture.size());
    EXPECT_DOUBLE_EQ(replay.total_seconds(), static_cast<double>(capture.size()) / 1920.0);

    // Other events (a click, a repaint) get their turn between chunks.
    qint64 position_when_other_event_ran = -1;
    QTimer::singleShot(0, [&] { position_when_other_event_ran = replay.position(); });

    ASSERT_TRUE(play_to_end(replay));
    EXPECT_EQ(played.bytes, capture);
    EXPECT_LT(position_when_other_event_ran, capture.size());
    EXPECT_GE(position_when_other_event_ran, 0);
    EXPECT_LE(*std::max_element(played.chunks.begin(), played.chunks.end()), ReplaySource::kChunkBytes);
    EXPECT_GE(played.chunks.front(), ReplaySource::kChunkBytes) << "big chunks, not a byte per turn";
    EXPECT_TRUE(replay.at_end());
    EXPECT_DOUBLE_EQ(replay.played_seconds(), replay.total_seconds());
    EXPECT_EQ(replay.state(), BoardConnection::State::Open) << "an ended replay stays open to be restarted";

    EXPECT_FALSE(replay.scheduled()) << "nothing more comes";
    EXPECT_EQ(played.finished, 1);
}

TEST(Replay, PauseHoldsThePositionAndResumeDoesNotMakeUpThePausedTime) {
    QTemporaryDir dir;
    const QByteArray capture = pattern(200'000);
    ReplaySource replay(write_capture(dir, "pause.bin", capture));
    Played played(replay);
    replay.set_speed(16);
    replay.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return replay.position() >= 2000; }, kDeadlineMs));

    replay.pause();
    EXPECT_TRUE(replay.paused());
    const qint64 held = replay.position();
    QCoreApplication::processEvents();
    EXPECT_FALSE(replay.scheduled()) << "nothing is on its way while paused";
    EXPECT_EQ(replay.position(), held);
    EXPECT_EQ(played.bytes.size(), held);

    QElapsedTimer since_resume;
    since_resume.start();
    qint64 most_ahead = std::numeric_limits<qint64>::min();
    QObject::connect(&replay, &ReplaySource::received, [&] {
        const auto allowed = static_cast<qint64>(1920.0 * 16 * static_cast<double>(since_resume.nsecsElapsed()) / 1e9);
        most_ahead = std::max(most_ahead, replay.position() - held - allowed);
    });
    replay.resume();
    EXPECT_FALSE(replay.paused());
    ASSERT_TRUE(QTest::qWaitFor([&] { return replay.position() >= held + 2000; }, kDeadlineMs));
    EXPECT_LE(most_ahead, 0) << "the paused time is not handed over as a burst";
    EXPECT_EQ(played.bytes, capture.left(played.bytes.size())) << "no byte lost or repeated over the pause";
}

TEST(Replay, RestartBeginsFromTheFirstByte) {
    QTemporaryDir dir;
    const QByteArray capture = pattern(30'000);
    const QString path = write_capture(dir, "restart.bin", capture);

    {  // while playing
        ReplaySource replay(path);
        Played played(replay);
        QSignalSpy progress(&replay, &BoardConnection::progress_changed);
        replay.set_speed(16);
        replay.open();
        ASSERT_TRUE(QTest::qWaitFor([&] { return replay.position() >= 1000; }, kDeadlineMs));
        const qsizetype before = played.bytes.size();
        replay.restart();
        EXPECT_EQ(replay.position(), 0);
        EXPECT_FALSE(progress.isEmpty());
        ASSERT_TRUE(QTest::qWaitFor([&] { return played.bytes.size() >= before + 1000; }, kDeadlineMs));
        EXPECT_EQ(played.bytes.mid(before), capture.left(played.bytes.size() - before));
    }
    {  // after the end
        ReplaySource replay(path);
        Played played(replay);
        replay.set_speed(ReplaySource::kFastest);
        replay.open();
        ASSERT_TRUE(play_to_end(replay));
        replay.restart();
        ASSERT_TRUE(play_to_end(replay));
        EXPECT_EQ(played.bytes, capture + capture);
    }
    {  // while paused: it stays paused at the first byte until resumed
        ReplaySource replay(path);
        Played played(replay);
        replay.set_speed(ReplaySource::kFastest);
        replay.open();
        ASSERT_TRUE(QTest::qWaitFor([&] { return replay.position() > 0; }, kDeadlineMs));
        replay.pause();
        const qsizetype before = played.bytes.size();
        replay.restart();
        QCoreApplication::processEvents();
        EXPECT_FALSE(replay.scheduled());
        EXPECT_EQ(replay.position(), 0);
        EXPECT_EQ(played.bytes.size(), before);
        replay.resume();
        ASSERT_TRUE(play_to_end(replay));
        EXPECT_EQ(played.bytes.mid(before), capture);
    }
}

TEST(Replay, ACaptureCutAnywhereInItsLastFrameEndsCleanly) {
    QTemporaryDir dir;
    const QByteArray whole = demo_frames(4);
    for (qsizetype kept = 1; kept < static_cast<qsizetype>(kFrameLength); ++kept) {
        const QByteArray capture = whole.left(3 * static_cast<qsizetype>(kFrameLength) + kept);
        ReplaySource replay(write_capture(dir, QString("cut%1.bin").arg(kept), capture));
        Played played(replay);
        PanelLogic panel;
        panel.Load();
        QObject::connect(&replay, &ReplaySource::received, [&](const QByteArray& c) { feed(panel, c); });
        replay.set_speed(ReplaySource::kFastest);
        replay.open();
        ASSERT_TRUE(play_to_end(replay)) << kept;
        EXPECT_EQ(played.bytes, capture) << "the partial frame's bytes are delivered too; cut after " << kept;
        EXPECT_EQ(panel.frames_decoded(), 3u) << kept;
        EXPECT_EQ(played.messages.size(), 1) << "only the end is said: " << played.messages.join("\n").toStdString();
    }
}

TEST(Replay, AFileCutShortUnderTheReplayEndsWhereItNowEndsAndSaysSo) {
    QTemporaryDir dir;
    const QByteArray capture = pattern(20'000);
    const QString path = write_capture(dir, "shrinking.bin", capture);
    ReplaySource replay(path);
    Played played(replay);
    replay.set_speed(ReplaySource::kFastest);
    replay.pause();
    replay.open();
    ASSERT_TRUE(QFile::resize(path, 5000));
    replay.resume();
    ASSERT_TRUE(play_to_end(replay));
    EXPECT_EQ(played.bytes, capture.left(5000));
    EXPECT_EQ(played.messages, QStringList{path + " became shorter while it was replayed; the replay ends at byte 5000."});
    EXPECT_EQ(replay.size(), 5000);
}

TEST(Replay, AFileThatCannotBeReadIsOneSentenceAndStaysClosed) {
    QTemporaryDir dir;
    struct Case {
        const char* name;
        QString path;
        QString sentence;
    };
    const QString missing = dir.filePath("x/y.bin");
    const QString empty = write_capture(dir, "empty.bin", {});
    const Case cases[] = {
        {"missing", missing, "Cannot replay " + missing + ": no such file."},
        {"a folder", dir.path(), "Cannot replay " + dir.path() + ": it is a folder, not a capture file."},
        {"empty", empty, "Cannot replay " + empty + ": the file is empty."},
    };
    for (const Case& c : cases) {
        ReplaySource replay(c.path);
        Played played(replay);
        QSignalSpy states(&replay, &ReplaySource::state_changed);
        replay.open();
        EXPECT_EQ(replay.state(), BoardConnection::State::Closed) << c.name;
        EXPECT_EQ(states.count(), 0) << c.name;
        EXPECT_EQ(played.messages, QStringList{c.sentence}) << c.name;
        EXPECT_FALSE(replay.scheduled()) << c.name;
        EXPECT_TRUE(played.bytes.isEmpty()) << c.name;
    }
}

TEST(Replay, CommandsGoToNoBoardAndSaySoOnce) {
    QTemporaryDir dir;
    ReplaySource replay(write_capture(dir, "commands.bin", pattern(100)));
    Played played(replay);
    replay.pause();
    replay.open();
    EXPECT_EQ(replay.description(), "replay of commands.bin");
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(replay.send(control_message(19))) << "the panel follows the command";
    EXPECT_EQ(played.messages, QStringList{"Commands go to no board during a replay; the panel alone follows them."});

    replay.close();
    EXPECT_FALSE(replay.send(control_message(19))) << "a closed replay takes nothing";
    EXPECT_EQ(played.messages.size(), 2);

    for (const double bad : {0.0, -1.0, std::nan("")}) EXPECT_FALSE(replay.set_speed(bad));
    EXPECT_EQ(replay.speed(), 1.0);
}

TEST(Replay, ARecordingTellsItsMarkersAndCommandsBetweenTheBytesAroundThem) {
    QTemporaryDir dir;
    const QByteArray frames = demo_frames(300);
    const QByteArray first = frames.left(3000), second = frames.mid(3000, 1000), third = frames.mid(4000);
    const QByteArray recording = timed_recording([&](std::vector<std::uint8_t>& out) {
        encode_received(100'000, u8(first), out);
        encode_command(150'000, std::vector<std::uint8_t>{0x53, 0}, out);
        encode_received(200'000, u8(second), out);
        encode_marker(250'000, Marker{176, "Marker 1"}, out);
        encode_marker(250'000, Marker{176, "Marker 2"}, out);
        encode_received(2'650'000, u8(third), out);
    });
    for (const double speed : {ReplaySource::kFastest, 16.0}) {
        SCOPED_TRACE(speed);
        ReplaySource replay(write_capture(dir, "timed.bin", recording));
        Played played(replay);
        QStringList events;
        QObject::connect(&replay, &ReplaySource::received, [&](const QByteArray& c) {
            if (events.isEmpty() || !events.last().startsWith("bytes")) events << "bytes";
            events.last() = QString("bytes to %1").arg(played.bytes.size());
            (void)c;
        });
        QObject::connect(&replay, &ReplaySource::recorded_command, [&](const QByteArray& m, qint64 us) {
            events << QString("command %1 at %2").arg(QString(m.toHex()), QString::number(us));
        });
        QObject::connect(&replay, &ReplaySource::recorded_marker, [&](const Marker& m) {
            events << QString("marker %1 at frame %2").arg(QString::fromStdString(m.label)).arg(m.frame);
        });
        replay.set_speed(speed);
        replay.open();
        EXPECT_TRUE(replay.timed());
        ASSERT_TRUE(replay.header());
        EXPECT_EQ(replay.header()->port, "/dev/ttyUSB0");
        EXPECT_EQ(replay.size(), frames.size()) << "the bytes from the board, not the file's";
        EXPECT_DOUBLE_EQ(replay.total_seconds(), 2.65) << "from the recorded times";
        ASSERT_TRUE(play_to_end(replay));
        EXPECT_EQ(played.bytes, frames);
        EXPECT_EQ(events, (QStringList{"bytes to 3000", "command 5300 at 150000", "bytes to 4000", "marker Marker 1 at frame 176",
                                       "marker Marker 2 at frame 176", QString("bytes to %1").arg(frames.size())}));
        const ReplayProgress p = replay.progress();
        EXPECT_TRUE(p.timed);
        EXPECT_TRUE(p.ended);
        EXPECT_DOUBLE_EQ(p.played_seconds, 2.65);
        EXPECT_EQ(p.position, frames.size());
        EXPECT_EQ(played.messages, QStringList{"The replay of " + replay.path() + " reached its end. File > Restart replay plays it again."});
    }
}

TEST(Replay, ARecordingCutByACrashPlaysToItsCutAndSaysSoOnce) {
    QTemporaryDir dir;
    const QByteArray frames = demo_frames(100);
    const QByteArray whole = timed_recording([&](std::vector<std::uint8_t>& out) {
        encode_received(1'000, u8(frames.left(1000)), out);
        encode_marker(2'000, Marker{58, "kept"}, out);
        encode_received(3'000, u8(frames.mid(1000)), out);
    });
    const QString path = write_capture(dir, "cut.bin", whole.chopped(100));
    ReplaySource replay(path);
    Played played(replay);
    replay.set_speed(ReplaySource::kFastest);
    replay.open();
    ASSERT_TRUE(play_to_end(replay));
    EXPECT_EQ(played.bytes, frames.left(1000));
    ASSERT_EQ(played.messages.size(), 2) << played.messages.join("\n").toStdString();
    EXPECT_TRUE(played.messages[0].startsWith(path + " is cut short at byte " + QString::number(whole.size() - 100) +
                                              ": it reads whole up to 00:00:00.002"))
        << played.messages[0].toStdString();
    EXPECT_TRUE(played.messages[1].contains("reached its end"));

    // Said at each open, once: a restart plays the same part again without a word.
    replay.restart();
    ASSERT_TRUE(play_to_end(replay));
    EXPECT_EQ(played.messages.size(), 3);
}

TEST(Replay, ARecordingItCannotPlayIsOneSentenceAndStaysClosed) {
    QTemporaryDir dir;
    QByteArray newer = timed_recording([](std::vector<std::uint8_t>& out) { encode_received(0, std::vector<std::uint8_t>{1, 0}, out); });
    newer[8] = 2;
    const QByteArray nothing = timed_recording([](std::vector<std::uint8_t>& out) { encode_marker(5, Marker{0, "alone"}, out); });
    struct Case {
        const char* name;
        QString path;
        QString says;
    };
    const QString newer_path = write_capture(dir, "newer.bin", newer);
    const QString nothing_path = write_capture(dir, "nothing.bin", nothing);
    const Case cases[] = {
        {"a newer format", newer_path, newer_path + " is a recording of format version 2, which this program does not read"},
        {"no bytes from the board", nothing_path, "Cannot replay " + nothing_path + ": it holds no bytes from the board."},
    };
    for (const Case& c : cases) {
        ReplaySource replay(c.path);
        Played played(replay);
        replay.open();
        EXPECT_EQ(replay.state(), BoardConnection::State::Closed) << c.name;
        ASSERT_EQ(played.messages.size(), 1) << c.name;
        EXPECT_TRUE(played.messages[0].startsWith(c.says)) << played.messages[0].toStdString();
    }
}
