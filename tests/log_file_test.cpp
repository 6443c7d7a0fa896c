// The log file on a real file system: lines appended whole, failures survived, nothing lost.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include "io/log_file.h"

using namespace sensor;

namespace {

QByteArray contents(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

std::string line(int n) { return "0.0508,0," + std::to_string(n) + ",OK,ERR,12.5,black,white\r\n"; }

QByteArray lines(int from, int to) {
    QByteArray all;
    for (int n = from; n <= to; ++n) all += QByteArray::fromStdString(line(n));
    return all;
}

}  // namespace

TEST(LogFile, AppendsToAnExistingFileAndCreatesMissingFolders) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a/b/sensors.csv");
    {
        LogFile log(path);
        log.append(line(1));
        log.append(line(2));
        EXPECT_EQ(contents(path), lines(1, 2)) << "each line is on disk as soon as it is appended";
    }
    LogFile again(path);
    again.append(line(3));
    EXPECT_EQ(contents(path), lines(1, 3));
}

TEST(LogFile, AHeaderLineGoesFirstIntoANewOrEmptyFileAndOnlyThere) {
    QTemporaryDir dir;
    const std::string header = "utc,run_clock,frame,fields,markers\r\n";
    const QByteArray with_header = QByteArray::fromStdString(header) + lines(1, 2);
    struct Case {
        const char* name;
        QByteArray before;  // the file's bytes before the first line; null: no file
        std::string header;
        QByteArray after;
    };
    const Case cases[] = {
        {"a new file", QByteArray(), header, with_header},
        {"an empty file", QByteArray(""), header, with_header},
        {"a file with lines already", lines(7, 7), header, lines(7, 7) + lines(1, 2)},
        {"no header asked: the log is the plain lines", QByteArray(), "", lines(1, 2)},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString path = dir.filePath(QString("log%1/sensors.csv").arg(n++));
        if (!c.before.isNull()) {
            QDir().mkpath(QFileInfo(path).absolutePath());
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.before);
        }
        LogFile log(path);
        log.set_header_line(c.header);
        log.append(line(1));
        log.append(line(2));
        EXPECT_EQ(contents(path), c.after) << c.name;
    }
}

TEST(LogFile, LinesWaitThroughAFailureAndGoOutInOrder) {
    QTemporaryDir dir;
    struct Case {
        const char* name;
        std::function<void(const QString&)> break_it;
        std::function<void(const QString&)> mend_it;
        const char* says;
    };
    const Case cases[] = {
        {"a directory in the way", [](const QString& p) { QDir().mkpath(p); },
         [](const QString& p) { QDir(p).removeRecursively(); }, "directory"},
        {"a file where the folder should be",
         [](const QString& p) {
             const QString folder = QFileInfo(p).absolutePath();
             QDir().mkpath(QFileInfo(folder).absolutePath());
             QFile f(folder);
             f.open(QIODevice::WriteOnly);
         },
         [](const QString& p) { QFile::remove(QFileInfo(p).absolutePath()); }, "cannot create the folder"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString path = dir.filePath(QString("case%1/sub/sensors.csv").arg(n++));
        c.break_it(path);
        LogFile log(path);
        QStringList said;
        QObject::connect(&log, &LogFile::message, [&](const QString& m) { said << m; });
        for (int i = 1; i <= 5; ++i) log.append(line(i));
        ASSERT_EQ(log.waiting(), 5u) << c.name;
        ASSERT_EQ(said.size(), 1) << c.name << ": once per cause";
        EXPECT_TRUE(said[0].contains(c.says)) << said[0].toStdString();
        EXPECT_TRUE(said[0].contains(path)) << said[0].toStdString();
        EXPECT_TRUE(log.state_text().contains("5 lines waiting")) << log.state_text().toStdString();

        c.mend_it(path);
        log.append(line(6));
        EXPECT_EQ(log.waiting(), 0u) << c.name;
        EXPECT_EQ(contents(path), lines(1, 6)) << c.name << ": in order, none twice";
        EXPECT_EQ(said.size(), 2) << c.name;
    }
}

TEST(LogFile, AFullDiskLosesNothing) {
    // /dev/full takes the open and refuses every write with "no space left on device".
    LogFile log("/dev/full");
    QStringList said;
    QObject::connect(&log, &LogFile::message, [&](const QString& m) { said << m; });
    for (int i = 1; i <= 12; ++i) log.append(line(i));
    EXPECT_EQ(log.waiting(), 12u);
    EXPECT_EQ(log.written(), 0u);
    ASSERT_EQ(said.size(), 1);
    EXPECT_EQ(said[0], "Cannot write /dev/full: no space left on device. Lines wait and are retried every 2 s.");
    EXPECT_FALSE(log.flush());
    EXPECT_EQ(said.size(), 1) << "a retry of the same cause says nothing new";
}

TEST(LogFile, PastTheLimitLinesAreCountedAndSaid) {
    LogFile log("/dev/full");
    QStringList said;
    QObject::connect(&log, &LogFile::message, [&](const QString& m) { said << m; });
    for (std::size_t i = 0; i < LogFile::kMaxWaiting + 3; ++i) log.append("x\r\n");
    EXPECT_EQ(log.waiting(), LogFile::kMaxWaiting);
    EXPECT_EQ(log.dropped(), 3u);
    EXPECT_EQ(said.size(), 2);
    EXPECT_TRUE(log.state_text().contains("3 dropped"));
}

TEST(LogFile, ALineCutShortIsTakenBackWholeAndWaits) {
    // A file size limit lets the write put down only part of the line, as a disk that fills up
    // mid-line would; the half line must not stay in the file.
    QTemporaryDir dir;
    const QString path = dir.filePath("sensors.csv");
    LogFile log(path);
    log.append(line(1));
    const qint64 whole = QFileInfo(path).size();

    ::signal(SIGXFSZ, SIG_IGN);  // past the limit a write fails instead of ending the process
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit tight = old;
    tight.rlim_cur = static_cast<rlim_t>(whole + 10);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    QStringList said;
    QObject::connect(&log, &LogFile::message, [&](const QString& m) { said << m; });
    log.append(line(2));
    ::setrlimit(RLIMIT_FSIZE, &old);

    ASSERT_FALSE(said.isEmpty());
    EXPECT_TRUE(said[0].startsWith("Cannot write " + path + ": file too large.")) << "the system's reason: " << said[0].toStdString();
    EXPECT_EQ(contents(path), lines(1, 1)) << "only whole lines are in the file";
    EXPECT_EQ(log.waiting(), 1u);
    log.append(line(3));
    EXPECT_EQ(contents(path), lines(1, 3));
    EXPECT_EQ(log.waiting(), 0u);
}

// A real file system that fills up: a tmpfs of a few pages, mounted where this user may.
TEST(LogFile, AFullFileSystemIsSaidByItsOwnReason) {
    QTemporaryDir dir;
    const QString mount_point = dir.filePath("small");
    QDir().mkpath(mount_point);
    if (::geteuid() != 0 || QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=16k", "tmpfs", mount_point}) != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    struct Unmount {
        QString at;
        ~Unmount() { QProcess::execute("umount", {at}); }
    } unmount{mount_point};
    LogFile log(mount_point + "/sensors.csv");
    QStringList said;
    QObject::connect(&log, &LogFile::message, [&](const QString& m) { said << m; });
    const std::string wide(1000, '1');
    for (int i = 0; i < 40 && said.isEmpty(); ++i) log.append(wide + "\r\n");
    ASSERT_EQ(said.size(), 1);
    EXPECT_TRUE(said[0].contains(": no space left on device.")) << said[0].toStdString();
    EXPECT_EQ(log.waiting(), 1u);
    EXPECT_EQ(QFileInfo(mount_point + "/sensors.csv").size() % 1002, 0) << "whole lines only";
}

TEST(LogFile, AnExitThatCannotAskSavesTheWaitingLinesBesideTheLogOrAtHomeAndSaysSoRightly) {
    QTemporaryDir dir;
    const QByteArray home_before = qgetenv("HOME");
    QFile(dir.filePath("a-file")).open(QIODevice::WriteOnly);
    QDir().mkpath(dir.filePath("home"));
    QDir().mkpath(dir.filePath("taken.csv"));
    struct Case {
        QString log;   // unwritable: a folder by that name, or a folder that is a file
        QString home;
        int count;
        QString saved_in;  // empty: nowhere
        QString says;      // the end of the sentence
    };
    const Case cases[] = {
        {dir.filePath("taken.csv"), dir.filePath("home"), 1, dir.path(), "; it was saved to "},
        {dir.filePath("a-file/sensors.csv"), dir.filePath("home"), 2, dir.filePath("home"), "; they were saved to "},
        {dir.filePath("a-file/sensors.csv"), dir.filePath("a-file"), 1, {}, "; it is lost."},
        {dir.filePath("a-file/sensors.csv"), dir.filePath("a-file"), 3, {}, "; they are lost."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.log.toStdString() + " " + std::to_string(c.count));
        qputenv("HOME", c.home.toLocal8Bit());
        LogFile log(c.log);
        for (int n = 1; n <= c.count; ++n) log.append(line(n));
        ASSERT_EQ(log.waiting(), static_cast<std::size_t>(c.count));
        const QString said = log.rescue_waiting();
        const QString count = c.count == 1 ? QStringLiteral("1 line") : QStringLiteral("%1 lines").arg(c.count);
        EXPECT_TRUE(said.startsWith(count + " could not be written to " + c.log + " (")) << said.toStdString();
        EXPECT_TRUE(said.contains(c.says)) << said.toStdString();
        if (c.saved_in.isEmpty()) {
            EXPECT_EQ(log.waiting(), static_cast<std::size_t>(c.count)) << "kept for the last word at exit";
            log.discard_waiting();
            continue;
        }
        const QString name = QFileInfo(c.log).completeBaseName() + "-unsaved-";
        const QStringList found = QDir(c.saved_in).entryList({name + "*.csv"}, QDir::Files);
        ASSERT_EQ(found.size(), 1);
        EXPECT_TRUE(said.endsWith(c.says + QDir(c.saved_in).filePath(found.front()) + ".")) << said.toStdString();
        EXPECT_EQ(contents(QDir(c.saved_in).filePath(found.front())), lines(1, c.count));
        EXPECT_EQ(log.waiting(), 0u);
        QFile::remove(QDir(c.saved_in).filePath(found.front()));
    }
    qputenv("HOME", home_before);
}
