// The programs as a shell user starts them: the port remembered from the last run, usage errors in
// one sentence and one line of usage, a display that cannot be reached, and runs on a real X server
// (Xvfb, clicked with xdotool): nothing on standard error but the panel's own sentences, the demo's
// log of its own, and waiting log lines saved when a signal ends the panel.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>

#include "io/log_file.h"
#include "tests/support/program_run.h"
#include "tests/support/pty_pair.h"
#include "tests/support/wait.h"

using sensor::testing::ProgramRun;
using sensor::testing::PtyPair;
using sensor::testing::run_program;
using sensor::testing::wait_until;

namespace {

// An environment whose settings and home are the test's own folder.
QProcessEnvironment environment_in(const QTemporaryDir& dir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir.path());
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    // A desktop session has its runtime folder; without one Qt complains at start.
    QDir().mkpath(dir.filePath("run"));
    QFile::setPermissions(dir.filePath("run"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    env.insert("XDG_RUNTIME_DIR", dir.filePath("run"));
    return env;
}

// Starts the panel and waits until it says a port is open; returns what it said by then.
struct RunningPanel {
    QProcess process;
    QString err;

    RunningPanel(const QStringList& args, const QProcessEnvironment& env) {
        process.setProcessEnvironment(env);
        process.start(SENSOR_PANEL_PATH, args);
    }
    bool says(const QString& text, int deadline_ms = 10000) {
        return wait_until([&] { return (err += QString::fromUtf8(process.readAllStandardError())).contains(text); }, deadline_ms);
    }
    // Ends it as the desktop's session end would; true when it ended by itself with status 0.
    bool terminate() {
        process.terminate();
        if (!process.waitForFinished(10000)) return false;
        err += QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }
    ~RunningPanel() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
};

// A virtual X server of the test's own, and the user's mouse on it.
struct VirtualDisplay {
    QProcess xvfb;
    QString name;  // ":N"

    VirtualDisplay() {
        if (QStandardPaths::findExecutable("Xvfb").isEmpty() || QStandardPaths::findExecutable("xdotool").isEmpty()) return;
        xvfb.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"});
        QByteArray number;
        if (wait_until([&] { return (number += xvfb.readAllStandardOutput()).contains('\n'); }, 10000))
            name = ":" + QString::fromLatin1(number.trimmed());
    }
    ~VirtualDisplay() {
        xvfb.terminate();
        xvfb.waitForFinished(5000);
    }
    bool up() const { return !name.isEmpty(); }

    QProcessEnvironment environment(const QTemporaryDir& dir) const {
        QProcessEnvironment env = environment_in(dir);
        env.remove("QT_QPA_PLATFORM");
        env.remove("WAYLAND_DISPLAY");
        env.insert("DISPLAY", name);
        // On a real display Qt loads the desktop's message bus library, which keeps an allocation
        // to the end; a sanitizer build is to report the panel's leaks, not that one.
        QFile suppressions(dir.filePath("leaks.supp"));
        if (suppressions.open(QIODevice::WriteOnly)) suppressions.write("leak:libdbus-1.so\n");
        env.insert("LSAN_OPTIONS", "print_suppressions=0:suppressions=" + dir.filePath("leaks.supp"));
        return env;
    }
    // Clicks the panel's START button, as the operator would.
    bool click_start() const {
        QProcess xdotool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", name);
        xdotool.setProcessEnvironment(env);
        // START sits at the panel's top left, below the menu bar.
        xdotool.start("xdotool", {"search", "--sync", "--onlyvisible", "--name", "^Form1$", "mousemove", "--window", "%1", "50",
                                  "60", "click", "1"});
        return xdotool.waitForFinished(10000) && xdotool.exitCode() == 0;
    }
};

}  // namespace

TEST(PanelProgram, TheLastChosenPortIsOpenedAtStartAndPortOverridesItForOneRun) {
    QTemporaryDir dir;
    PtyPair remembered, given;
    {
        QSettings settings(dir.filePath("config/sensor-panel/sensor-panel.conf"), QSettings::IniFormat);
        settings.setValue("port/last", remembered.path());
    }
    const QString log = dir.filePath("s.csv");
    {
        RunningPanel panel({"--log", log}, environment_in(dir));
        EXPECT_TRUE(panel.says(QStringLiteral("Serial port %1 is open.").arg(remembered.path()))) << panel.err.toStdString();
        EXPECT_TRUE(panel.terminate()) << panel.err.toStdString();
    }
    {
        RunningPanel panel({"--port", given.path(), "--log", log}, environment_in(dir));
        EXPECT_TRUE(panel.says(QStringLiteral("Serial port %1 is open.").arg(given.path()))) << panel.err.toStdString();
        EXPECT_TRUE(panel.terminate());
        EXPECT_FALSE(panel.err.contains(remembered.path())) << panel.err.toStdString();
    }
    QSettings settings(dir.filePath("config/sensor-panel/sensor-panel.conf"), QSettings::IniFormat);
    EXPECT_EQ(settings.value("port/last").toString(), remembered.path()) << "--port is for that run only";
}

TEST(PanelProgram, TheDemoLogsToAFileOfItsOwnBesideTheDefault) {
    const ProgramRun help = run_program(SENSOR_PANEL_PATH, {"--help"});
    ASSERT_EQ(help.status, 0);
    const QString real = sensor::LogFile::default_path();
    const QString demo = QFileInfo(real).absolutePath() + "/" + QFileInfo(real).completeBaseName() + "-demo.csv";
    EXPECT_TRUE(help.out.simplified().contains("with --demo, " + demo)) << help.out.toStdString();
}

TEST(ProgramErrors, UsageErrorsAreTheProgramsNameASentenceAndOneLineOfUsage) {
    struct Case {
        const char* program;
        QStringList args;
        const char* says;
    };
    const Case cases[] = {
        {SENSOR_PANEL_PATH, {"--port", ""}, "sensor-panel: --port needs a port name"},
        {SENSOR_PANEL_PATH, {"--log", ""}, "sensor-panel: --log needs a file name"},
        {SENSOR_PANEL_PATH, {"--log", " "}, "sensor-panel: --log needs a file name"},
        {SENSOR_BOARD_SIM_PATH, {"--bogus"}, "sensor-board-sim: Unknown option 'bogus'."},
        {SENSOR_BOARD_SIM_PATH, {"--rate", "fast"}, "sensor-board-sim: The rate must be"},
        {SENSOR_BOARD_SIM_PATH, {"stray"}, "sensor-board-sim: Unexpected argument"},
        {SENSOR_DECODE_PATH, {"--bogus"}, "sensor-decode: Unknown option '--bogus'."},
        {SENSOR_DECODE_PATH, {"a", "b"}, "sensor-decode: Give at most one capture file."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((QString(c.program).section('/', -1) + " " + c.args.join(' ')).toStdString());
        const ProgramRun r = run_program(c.program, c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(r.out.isEmpty());
        const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 2) << r.err.toStdString();
        EXPECT_TRUE(lines[0].startsWith(c.says)) << lines[0].toStdString();
        EXPECT_TRUE(lines[0].endsWith('.')) << lines[0].toStdString();
        EXPECT_TRUE(lines[1].startsWith("Usage: " + QString(c.program).section('/', -1) + " ")) << lines[1].toStdString();
    }
}

TEST(ProgramErrors, ADisplayThatCannotBeReachedIsOneSentenceAndStatusOne) {
    QTemporaryDir dir;
    QProcessEnvironment env = environment_in(dir);
    env.remove("QT_QPA_PLATFORM");
    env.remove("WAYLAND_DISPLAY");
    env.insert("DISPLAY", ":4711");  // no X server answers there
    const ProgramRun r = run_program(SENSOR_PANEL_PATH, {"--port", "/dev/null", "--log", dir.filePath("s.csv")}, {}, env);
    EXPECT_EQ(r.status, 1) << r.err.toStdString();
    const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << r.err.toStdString();
    EXPECT_TRUE(lines[0].startsWith("sensor-panel: Cannot open the window: the display :4711 cannot be reached"))
        << lines[0].toStdString();
}

// On a real X server, a run says only its own sentences: no warnings from Qt.
TEST(ProgramErrors, ANormalRunOnARealDisplayHasNoQtWarnings) {
    VirtualDisplay display;
    if (!display.up()) GTEST_SKIP() << "Xvfb or xdotool is not installed";
    QTemporaryDir dir;
    PtyPair board;
    RunningPanel panel({"--port", board.path(), "--log", dir.filePath("s.csv")}, display.environment(dir));
    // The quiet-port hint comes seconds after the window is up.
    EXPECT_TRUE(panel.says("No frames from")) << panel.err.toStdString();
    EXPECT_TRUE(display.click_start());
    EXPECT_TRUE(panel.terminate()) << panel.err.toStdString();
    for (const QString& line : panel.err.split('\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(line.startsWith("sensor-panel: ")) << line.toStdString();
    EXPECT_EQ(board.read_available(), QByteArray("\x93\x00", 2)) << "the click reached the board";
}

// Where a run's lines go: the demo to a file of its own, --log where it says, and otherwise the
// file last chosen in the Log menu.
TEST(PanelProgram, EachRunLogsWhereItShould) {
    VirtualDisplay display;
    if (!display.up()) GTEST_SKIP() << "Xvfb or xdotool is not installed";
    QTemporaryDir dir;
    const QString documents = dir.filePath("Documents");
    const QString given = dir.filePath("given.csv");
    const QString chosen = dir.filePath("chosen/runs.csv");
    {
        QSettings settings(dir.filePath("config/sensor-panel/sensor-panel.conf"), QSettings::IniFormat);
        settings.setValue("log/path", chosen);
    }
    PtyPair board;
    struct Case {
        QStringList args;
        QString logged_to;
    };
    const Case cases[] = {
        {{"--demo"}, documents + "/sensors-demo.csv"},
        {{"--demo", "--log", given}, given},
        {{"--port", board.path()}, chosen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        RunningPanel panel(c.args, display.environment(dir));
        ASSERT_TRUE(panel.says(c.args.contains("--demo") ? "simulated board" : "is open.")) << panel.err.toStdString();
        ASSERT_TRUE(display.click_start());
        if (!c.args.contains("--demo")) {
            const QByteArray frame = QByteArray(16, '\x41') + QByteArray(1, '\0');
            ASSERT_TRUE(wait_until([&] { return board.read_available().contains('\x93'); })) << "START reached the board";
            for (int i = 0; i < 50; ++i) board.write(frame);
        }
        EXPECT_TRUE(wait_until([&] { return QFileInfo(c.logged_to).size() > 0; }, 10000)) << panel.err.toStdString();
        EXPECT_TRUE(panel.terminate());
        for (const QString& line : panel.err.split('\n', Qt::SkipEmptyParts))
            EXPECT_TRUE(line.startsWith("sensor-panel: ")) << line.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(documents + "/sensors.csv")) << "the real log has no made-up readings";
}

// SIGTERM and SIGINT cannot ask what to do with waiting lines: they are saved and the place said.
TEST(PanelProgram, ASignalSavesTheWaitingLinesAndSaysWhere) {
    VirtualDisplay display;
    if (!display.up()) GTEST_SKIP() << "Xvfb or xdotool is not installed";
    QTemporaryDir dir;
    QFile(dir.filePath("a-file")).open(QIODevice::WriteOnly);
    QDir().mkpath(dir.filePath("logs/taken.csv"));
    struct Case {
        int signal;
        QString log;       // cannot be written: a folder by that name, or under a file
        QString saved_in;  // beside the log, or the home folder
    };
    const Case cases[] = {
        {SIGTERM, dir.filePath("logs/taken.csv"), dir.filePath("logs")},
        {SIGINT, dir.filePath("a-file/sensors.csv"), dir.path()},  // the home folder
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.signal);
        RunningPanel panel({"--demo", "--log", c.log}, display.environment(dir));
        ASSERT_TRUE(panel.says("simulated board")) << panel.err.toStdString();
        ASSERT_TRUE(display.click_start());
        ASSERT_TRUE(panel.says("Cannot write " + c.log)) << panel.err.toStdString();
        ::kill(static_cast<pid_t>(panel.process.processId()), c.signal);
        ASSERT_TRUE(panel.process.waitForFinished(10000));
        EXPECT_EQ(panel.process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(panel.process.exitCode(), 0);
        panel.err += QString::fromUtf8(panel.process.readAllStandardError());

        const QString last = panel.err.trimmed().section('\n', -1);
        const QRegularExpression said("^sensor-panel: (\\d+) lines? could not be written to (.*) \\(.*\\); (it was|they were) saved to (.*)\\.$");
        const QRegularExpressionMatch m = said.match(last);
        ASSERT_TRUE(m.hasMatch()) << panel.err.toStdString();
        EXPECT_EQ(m.captured(2), c.log);
        EXPECT_EQ(m.captured(3), m.captured(1) == "1" ? "it was" : "they were");
        EXPECT_EQ(QFileInfo(m.captured(4)).absolutePath(), c.saved_in);
        QFile saved(m.captured(4));
        ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::number(saved.readAll().count('\n')), m.captured(1)) << "the count said is the count saved";
    }
}

// A signal ends a recording whole, and says so where the operator can still read it.
TEST(PanelProgram, ASignalEndsARecordingAndSaysHowMuchItHolds) {
    QTemporaryDir dir;
    const QString recording = dir.filePath("run.bin");
    RunningPanel panel({"--demo", "--log", dir.filePath("demo.csv"), "--record", recording}, environment_in(dir));
    ASSERT_TRUE(panel.says("Recording the run to " + recording)) << panel.err.toStdString();
    ASSERT_TRUE(wait_until([&] { return QFileInfo(recording).size() > 0; }));
    ASSERT_TRUE(panel.terminate()) << panel.err.toStdString();
    const QRegularExpression said("sensor-panel: The recording " + QRegularExpression::escape(recording) +
                                  " is complete: (\\d+) bytes\\.");
    const QRegularExpressionMatch m = said.match(panel.err);
    ASSERT_TRUE(m.hasMatch()) << panel.err.toStdString();
    EXPECT_EQ(m.captured(1).toLongLong(), QFileInfo(recording).size());
}

// What each program's --help lists is what its manual page lists, and the options every
// program has (--help, --help-all, --version) answer and end at once, starting nothing.
TEST(ProgramHelp, EachManualListsTheOptionsItsProgramHas) {
    const QRegularExpression help_option(QStringLiteral("(?:^|[ ,])(--[a-z][a-z-]*)"));
    const QRegularExpression manual_option(QStringLiteral("\\\\-\\\\-([a-z][a-z\\\\-]*)"));
    struct Program {
        const char* name;
        QString path;
    };
    for (const Program& p : {Program{"sensor-panel", SENSOR_PANEL_PATH}, Program{"sensor-decode", SENSOR_DECODE_PATH},
                             Program{"sensor-board-sim", SENSOR_BOARD_SIM_PATH}}) {
        SCOPED_TRACE(p.name);
        QStringList in_help;
        for (const char* option : {"--help", "--help-all", "--version"}) {
            const ProgramRun run = run_program(p.path, {option}, {}, QProcessEnvironment::systemEnvironment(), 5000);
            EXPECT_EQ(run.status, 0) << option << ": " << run.err.toStdString();
            EXPECT_FALSE(run.out.isEmpty()) << option;
            if (QString(option) != "--help") continue;
            for (const QString& line : run.out.split('\n')) {
                if (!line.startsWith("  -")) continue;
                auto it = help_option.globalMatch(line.section(QStringLiteral("  "), 1, 1));
                while (it.hasNext()) in_help << it.next().captured(1);
            }
        }
        QFile page(QStringLiteral(SENSOR_SOURCE_DIR "/packaging/man/%1.1.in").arg(p.name));
        ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << page.fileName().toStdString();
        // The options a page describes are the terms of its .TP paragraphs.
        QStringList in_manual;
        const QStringList lines = QString::fromUtf8(page.readAll()).split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            if (lines[i - 1] != ".TP") continue;
            auto it = manual_option.globalMatch(lines[i]);
            while (it.hasNext()) in_manual << "--" + it.next().captured(1).replace("\\-", "-");
        }
        in_help.removeDuplicates();
        in_manual.removeDuplicates();
        in_help.sort();
        in_manual.sort();
        EXPECT_EQ(in_help.join(' ').toStdString(), in_manual.join(' ').toStdString());
    }
}
