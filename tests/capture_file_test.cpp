// The raw recording on a real file system: written within a second, emptied on start, and stopped
// with one sentence (and what was kept) when the disk refuses it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <sys/resource.h>

#include "io/capture_file.h"

using namespace sensor;

namespace {

constexpr int kDeadlineMs = 10'000;

QByteArray contents(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
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
    EXPECT_EQ(capture.size(), 300);

    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(path).size() == 300; }, kDeadlineMs))
        << "held bytes are written by the once-a-second flush, without a stop";
    EXPECT_TRUE(capture.recording());
    EXPECT_EQ(capture.written(), 300);
    EXPECT_EQ(contents(path), first);

    const QByteArray rest = pattern(1000).mid(300);
    capture.append(rest);
    EXPECT_TRUE(capture.stop());
    EXPECT_FALSE(capture.recording());
    EXPECT_EQ(contents(path), first + rest) << "stop writes what is still held";
}

TEST(CaptureFile, ABurstGoesOutWithoutWaitingForTheSecond) {
    QTemporaryDir dir;
    const QString path = dir.filePath("burst.bin");
    CaptureFile capture;
    ASSERT_TRUE(capture.start(path));
    const QByteArray burst = pattern(static_cast<int>(CaptureFile::kFlushBytes) + 10);
    capture.append(burst);
    EXPECT_EQ(capture.written(), burst.size());
    EXPECT_EQ(contents(path), burst);
}

TEST(CaptureFile, DestructionWritesWhatIsHeld) {
    QTemporaryDir dir;
    const QString path = dir.filePath("exit.bin");
    {
        CaptureFile capture;
        ASSERT_TRUE(capture.start(path));
        capture.append(pattern(77));
    }
    EXPECT_EQ(contents(path), pattern(77));
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
        EXPECT_EQ(contents(path), QByteArray("xyz")) << path.toStdString();
    }

    // A second start on the same object begins a new file and closes the first with its bytes.
    CaptureFile capture;
    ASSERT_TRUE(capture.start(old_path));
    capture.append("first");
    ASSERT_TRUE(capture.start(nested));
    capture.append("second");
    ASSERT_TRUE(capture.stop());
    EXPECT_EQ(contents(old_path), QByteArray("first"));
    EXPECT_EQ(contents(nested), QByteArray("second"));
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
    EXPECT_EQ(contents(path), pattern(1000));
}
