// The recording on a real file system: read back with its header, times, commands and markers,
// written within a second, emptied on start, and stopped with one sentence (and what was kept)
// when the disk refuses it; what was kept reads up to its last whole record.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <span>
#include <vector>

#include <sys/resource.h>

#include "io/capture_file.h"
#include "recording/recording_reader.h"

using namespace sensor;

namespace {

constexpr int kDeadlineMs = 10'000;

QByteArray contents(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// A recording as a reader finds it.
struct ReadBack {
    RecordingFormat format = RecordingFormat::Undecided;
    RecordingHeader header;
    std::vector<Record> records;
    QByteArray received;  // every received byte, in order
    std::string trouble;
};

ReadBack read_back(const QString& path) {
    const QByteArray bytes = contents(path);
    RecordingReader reader;
    reader.feed(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())));
    reader.finish();
    ReadBack r;
    Record record;
    while (reader.next(record)) {
        r.records.push_back(record);
        if (record.kind == RecordKind::Received)
            r.received += QByteArray(reinterpret_cast<const char*>(record.bytes.data()), static_cast<qsizetype>(record.bytes.size()));
    }
    r.format = reader.format();
    r.header = reader.header();
    r.trouble = reader.trouble("the file");
    return r;
}

QByteArray pattern(int n) {
    QByteArray bytes;
    for (int i = 0; i < n; ++i) bytes += static_cast<char>((i * 31 + i / 7) & 0xFF);
    return bytes;
}

struct Said {
    QStringList messages;
    int stopped = 0;
    explicit Said(CaptureFile& capture) {
        QObject::connect(&capture, &CaptureFile::message, [this](const QString& m) { messages << m; });
        QObject::connect(&capture, &CaptureFile::stopped, [this] { ++stopped; });
    }
};

}  // namespace

TEST(CaptureFile, ReachesTheDiskWithinASecondWhileStillRecording) {
    QTemporaryDir dir;
    const QString path = dir.filePath("run.bin");
    CaptureFile capture;
    ASSERT_TRUE(capture.start(path));
    const QByteArray first = pattern(300);
    capture.append(first.left(100));
    capture.append(first.mid(100));

    ASSERT_TRUE(QTest::qWaitFor([&] { return read_back(path).received.size() == 300; }, kDeadlineMs))
        << "held bytes are written by the once-a-second flush, without a stop";
    EXPECT_TRUE(capture.recording());
    EXPECT_EQ(capture.written(), capture.size());
    EXPECT_EQ(read_back(path).format, RecordingFormat::Timed);
    EXPECT_EQ(read_back(path).received, first);

    const QByteArray rest = pattern(1000).mid(300);
    capture.append(rest);
    EXPECT_TRUE(capture.stop());
    EXPECT_FALSE(capture.recording());
    EXPECT_EQ(read_back(path).received, first + rest) << "stop writes what is still held";
    EXPECT_EQ(QFileInfo(path).size(), capture.size());
}

TEST(CaptureFile, ABurstGoesOutWithoutWaitingForTheSecond) {
    QTemporaryDir dir;
    const QString path = dir.filePath("burst.bin");
    CaptureFile capture;
    ASSERT_TRUE(capture.start(path));
    const QByteArray burst = pattern(static_cast<int>(CaptureFile::kFlushBytes) + 10);
    capture.append(burst);
    EXPECT_EQ(capture.written(), capture.size());
    EXPECT_EQ(read_back(path).received, burst);
}

TEST(CaptureFile, DestructionWritesWhatIsHeld) {
    QTemporaryDir dir;
    const QString path = dir.filePath("exit.bin");
    {
        CaptureFile capture;
        ASSERT_TRUE(capture.start(path));
        capture.append(pattern(77));
    }
    EXPECT_EQ(read_back(path).received, pattern(77));
}

TEST(CaptureFile, StartEmptiesAnOldFileAndMakesMissingFolders) {
    QTemporaryDir dir;
    const QString old_path = dir.filePath("old.bin");
    {
        QFile f(old_path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("an older recording, longer than the new one");
    }
    const QString nested = dir.filePath("a/b/new.bin");
    for (const QString& path : {old_path, nested}) {
        CaptureFile capture;
        ASSERT_TRUE(capture.start(path)) << path.toStdString();
        capture.append("xyz");
        ASSERT_TRUE(capture.stop());
        EXPECT_EQ(read_back(path).received, QByteArray("xyz")) << path.toStdString();
    }

    // A second start on the same object begins a new file and closes the first with its bytes.
    CaptureFile capture;
    ASSERT_TRUE(capture.start(old_path));
    capture.append("first");
    ASSERT_TRUE(capture.start(nested));
    capture.append("second");
    ASSERT_TRUE(capture.stop());
    EXPECT_EQ(read_back(old_path).received, QByteArray("first"));
    EXPECT_EQ(read_back(nested).received, QByteArray("second"));
}

TEST(CaptureFile, APathThatCannotBeCreatedIsOneSentence) {
    QTemporaryDir dir;
    {
        QFile blocker(dir.filePath("blocker"));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    struct Case {
        const char* name;
        QString path;
        const char* says;
    };
    const Case cases[] = {
        {"a folder", dir.path(), "it is a folder"},
        {"a file where the folder should be", dir.filePath("blocker/run.bin"), "cannot create the folder"},
    };
    for (const Case& c : cases) {
        CaptureFile capture;
        Said said(capture);
        EXPECT_FALSE(capture.start(c.path)) << c.name;
        EXPECT_FALSE(capture.recording()) << c.name;
        ASSERT_EQ(said.messages.size(), 1) << c.name;
        EXPECT_TRUE(said.messages[0].startsWith("Cannot record to " + c.path + ": ")) << said.messages[0].toStdString();
        EXPECT_TRUE(said.messages[0].contains(c.says)) << said.messages[0].toStdString();
        capture.append("ignored");
        EXPECT_EQ(capture.size(), 0) << c.name;
    }
}

TEST(CaptureFile, AFullDiskStopsTheRecordingOnceWithWhatWasKept) {
    // By the second's flush, and by a burst's immediate write: the same one sentence.
    for (const qint64 n : {qint64{10}, CaptureFile::kFlushBytes}) {
        CaptureFile capture;
        Said said(capture);
        ASSERT_TRUE(capture.start("/dev/full"));
        capture.append(pattern(static_cast<int>(n)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !said.messages.isEmpty(); }, kDeadlineMs)) << n;
        EXPECT_EQ(said.messages[0], "Recording to /dev/full stopped: no space left on device; 0 bytes were kept.");
        EXPECT_FALSE(capture.recording());
        EXPECT_EQ(capture.size(), 0);
        EXPECT_EQ(said.stopped, 1);

        capture.append(pattern(100));
        EXPECT_TRUE(capture.stop());
        EXPECT_EQ(said.messages.size(), 1) << "said once, not per append";
        EXPECT_EQ(said.stopped, 1);
    }
}

TEST(CaptureFile, AFileSizeLimitKeepsExactlyWhatItSays) {
    // The process's file size limit makes the disk refuse part-way through a write, so the count
    // of kept bytes and the file's own length can be compared.
    QTemporaryDir dir;
    const QString path = dir.filePath("limited.bin");
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);

    CaptureFile capture;
    Said said(capture);
    ASSERT_TRUE(capture.start(path));
    capture.append(pattern(600));
    capture.append(pattern(1500).mid(600));
    const bool stopped_in_time = QTest::qWaitFor([&] { return !said.messages.isEmpty(); }, kDeadlineMs);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, old_handler);

    ASSERT_TRUE(stopped_in_time);
    EXPECT_EQ(said.messages[0], "Recording to " + path + " stopped: file too large; 1000 bytes were kept.");
    EXPECT_EQ(capture.size(), 1000);
    EXPECT_EQ(QFileInfo(path).size(), 1000);
    // The first read is whole; the second was cut by the limit, and that is said.
    const ReadBack kept = read_back(path);
    EXPECT_EQ(kept.received, pattern(600));
    EXPECT_EQ(kept.trouble.rfind("the file is cut short at byte 1000: it reads whole up to ", 0), 0u) << kept.trouble;
}

TEST(CaptureFile, KeepsWhereAndWhenItWasMadeAndEveryRecordInOrderWithItsTime) {
    QTemporaryDir dir;
    const QString path = dir.filePath("kinds.bin");
    CaptureFile capture;
    const qint64 before_ms = QDateTime::currentMSecsSinceEpoch();
    ASSERT_TRUE(capture.start(path, "/dev/ttyUSB0", "9.8.7"));
    const qint64 after_ms = QDateTime::currentMSecsSinceEpoch();
    capture.append("\x01\x02");
    capture.append_command(QByteArray("\x53\x00", 2));
    capture.append_marker(Marker{12, "ramp, \"up\""});
    capture.append(QByteArray());  // an empty read is no record
    capture.append("\x03");
    ASSERT_TRUE(capture.stop());
    capture.append("after the stop");
    capture.append_marker(Marker{13, "ignored"});

    const ReadBack r = read_back(path);
    EXPECT_EQ(r.trouble, "");
    EXPECT_EQ(r.header.port, "/dev/ttyUSB0");
    EXPECT_EQ(r.header.program_version, "9.8.7");
    EXPECT_EQ(r.header.line_settings, "19200,N,8,1");
    EXPECT_GE(r.header.start_utc_us, before_ms * 1000);
    EXPECT_LE(r.header.start_utc_us, after_ms * 1000);
    ASSERT_EQ(r.records.size(), 4u);
    EXPECT_EQ(r.records[0].kind, RecordKind::Received);
    EXPECT_EQ(r.records[1].kind, RecordKind::Command);
    EXPECT_EQ(r.records[1].bytes, (std::vector<std::uint8_t>{0x53, 0x00}));
    EXPECT_EQ(r.records[2].kind, RecordKind::Marker);
    EXPECT_EQ(r.records[2].marker.frame, 12u);
    EXPECT_EQ(r.records[2].marker.label, "ramp, \"up\"");
    EXPECT_EQ(r.received, QByteArray("\x01\x02\x03"));
    for (std::size_t i = 1; i < r.records.size(); ++i) EXPECT_GE(r.records[i].us, r.records[i - 1].us);

    // Without a version given, the application's.
    QCoreApplication::setApplicationVersion("1.2.3");
    ASSERT_TRUE(capture.start(path));
    ASSERT_TRUE(capture.stop());
    EXPECT_EQ(read_back(path).header.program_version, "1.2.3");
    QCoreApplication::setApplicationVersion(QString());
}
