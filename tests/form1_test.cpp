// The panel window as the operator meets it: real clicks on a window on the offscreen platform,
// the bytes that reach the far end of a real pseudo-terminal, and the sensor-panel binary's
// command line.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <string>
#include <vector>

#include "io/log_file.h"
#include "io/serial_link.h"
#include "panel/window/form1.h"
#include "panel/window/main_window.h"
#include "session/panel_session.h"
#include "tests/support/panel_window.h"
#include "tests/support/pty_pair.h"
#include "tests/support/wait.h"
#include "sim/frame_encoder.h"
#include "io/simulated_connection.h"

using namespace sensor;
using sensor::testing::quiet_options;
using sensor::testing::PtyPair;
using sensor::testing::wait_until;


// Behaviour: real clicks on a shown window, a real port on a pseudo-terminal, the session main uses.
namespace {

struct Form1Panel : ::testing::Test {
    PtyPair pair;
    QTemporaryDir dir;
    std::unique_ptr<PanelSession> session;
    QByteArray seen;  // everything that reached the board's end so far

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        PanelOptions options;
        options.log_path = dir.filePath("sensors.csv");
        options.echo_to_stderr = false;
        session = std::make_unique<PanelSession>(options, std::make_unique<SerialLink>(pair.path()));
        session->start();
        ASSERT_TRUE(wait_until([&] { return session->connection()->state() == BoardConnection::State::Open; }));
        session->window().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&session->window()));
    }

    Form1& form() { return session->form(); }
    void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }

    // The bytes that reach the board's end, once there are at least `count` of them in all.
    std::vector<int> sent(int count) {
        wait_until([&] {
            seen += pair.read_available();
            return seen.size() >= count;
        });
        std::vector<int> out;
        for (char ch : seen) out.push_back(static_cast<std::uint8_t>(ch));
        return out;
    }
};

std::vector<int> bytes(std::initializer_list<int> b) { return b; }

}  // namespace

TEST_F(Form1Panel, StartUpShowsTheStartTextsAndSendsNothing) {
    for (int i = 0; i < 16; ++i) EXPECT_EQ(form().Text1(i)->text(), "") << i;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(form().Text2(i)->text(), "ON") << i;
    EXPECT_EQ(form().Text3()->text(), "");
    EXPECT_EQ(form().Command1()->text(), "START");
    EXPECT_FALSE(form().Check1()->isChecked());
    EXPECT_FALSE(form().Check2()->isChecked());
    EXPECT_FALSE(form().Timer1()->isActive());
    // The first bytes at the far end are the first click's: nothing went out before it.
    click(form().Check1());
    EXPECT_EQ(sent(2), bytes({27, 0}));
}

TEST_F(Form1Panel, GroupButtonsAndTheRefusedLastGroup) {
    click(form().Command4());
    click(form().Command2());
    click(form().Command6());  // the last group stays on: refused, nothing sent
    EXPECT_EQ(form().Text2(0)->text(), "OFF");
    EXPECT_EQ(form().Text2(1)->text(), "OFF");
    EXPECT_EQ(form().Text2(2)->text(), "ON");
    click(form().Check2());  // the next bytes after the refusal are this click's
    EXPECT_EQ(sent(6), bytes({18, 0, 16, 0, 20, 0}));
}

TEST_F(Form1Panel, StartStopDrivesCaptionAndTimer) {
    click(form().Command1());
    EXPECT_EQ(form().Command1()->text(), "STOP");
    EXPECT_TRUE(form().Timer1()->isActive());
    click(form().Command1());
    EXPECT_EQ(form().Command1()->text(), "START");
    EXPECT_FALSE(form().Timer1()->isActive());
    click(form().Command1());
    click(form().Command3());  // Reset during a run: the caption goes back, the timer runs on
    EXPECT_EQ(form().Command1()->text(), "START");
    EXPECT_TRUE(form().Timer1()->isActive());
    EXPECT_EQ(sent(8), bytes({147, 0, 19, 0, 147, 0, 211, 0}));
}

TEST_F(Form1Panel, ResetDuringARunLeavesTheClockCounting) {
    click(form().Command1());
    form().Timer1_Timer();
    click(form().Command4());
    EXPECT_EQ(form().Text2(0)->text(), "OFF");
    click(form().Command3());
    EXPECT_EQ(form().Command1()->text(), "START");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(form().Text2(i)->text(), "ON") << i;
    EXPECT_TRUE(form().Timer1()->isActive());
    form().Timer1_Timer();
    EXPECT_EQ(form().Text3()->text(), "2");
    click(form().Command4());  // the byte is back at 19 after the reset: IR off sends 18
    // START 147; IR off 146; the reset pulse is 146 with the reset bit flipped, 210.
    EXPECT_EQ(sent(8), bytes({147, 0, 146, 0, 210, 0, 18, 0}));
}

TEST_F(Form1Panel, ClearAndTicksShowTheRunClock) {
    click(form().Command1());
    std::vector<QString> shown;
    for (int i = 0; i < 3; ++i) {
        form().Timer1_Timer();
        shown.push_back(form().Text3()->text());
    }
    click(form().Command5());
    shown.push_back(form().Text3()->text());
    form().Timer1_Timer();
    shown.push_back(form().Text3()->text());
    EXPECT_EQ(shown, (std::vector<QString>{"1", "2", "3", "0", "1"}));
    click(form().Command1());
    EXPECT_EQ(sent(4), bytes({147, 0, 19, 0})) << "CLEAR and the ticks send nothing";
}

TEST_F(Form1Panel, OptionBoxesToggleTheirBitOnEveryClick) {
    click(form().Check1());
    EXPECT_TRUE(form().Check1()->isChecked());
    click(form().Check1());
    EXPECT_FALSE(form().Check1()->isChecked());
    click(form().Check2());
    EXPECT_TRUE(form().Check2()->isChecked());
    click(form().Check2());
    EXPECT_FALSE(form().Check2()->isChecked());
    EXPECT_EQ(sent(8), bytes({27, 0, 19, 0, 23, 0, 19, 0}));

    // An assistive tool's Toggle is a click too: box and bit stay together.
    QAccessibleActionInterface* actions = QAccessible::queryAccessibleInterface(form().Check1())->actionInterface();
    ASSERT_NE(actions, nullptr);
    actions->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(form().Check1()->isChecked());
    EXPECT_TRUE(session->logic().Check1());
    EXPECT_EQ(sent(10), bytes({27, 0, 19, 0, 23, 0, 19, 0, 27, 0}));
}

TEST_F(Form1Panel, AClickWhileTheBoardIsAwayChangesThePanelAndSaysSo) {
    session->connection()->close();
    click(form().Command4());
    click(form().Check1());
    click(form().Command1());
    EXPECT_EQ(form().Text2(0)->text(), "OFF");
    EXPECT_TRUE(form().Check1()->isChecked());
    EXPECT_EQ(form().Command1()->text(), "STOP");
    EXPECT_TRUE(form().Timer1()->isActive());
    EXPECT_EQ(session->window().status().message(),
              "The board is not connected: the panel follows the click, and the board will be told when it is back.");
    EXPECT_EQ(session->window().status().history().size(), 2) << "said once, not per click";
    EXPECT_TRUE(pair.read_available().isEmpty());
}

TEST_F(Form1Panel, FramesReachTheCellsAtTheDisplayRateNotPerFrame) {
    constexpr int kFrames = 200;
    QSignalSpy changes(form().Text1(0), &CellBox::textChanged);
    QByteArray stream;
    for (int i = 0; i < kFrames; ++i) {
        BoardReadings r;
        r.infrared = {100 + i, 200, 300};
        r.time_of_flight = {1800, 3600, 5400};
        r.ground = {100, 900};
        const EncodedFrame f = encode_frame(r);
        stream.append(reinterpret_cast<const char*>(f.data()), static_cast<qsizetype>(f.size()));
    }
    pair.write(stream);
    ASSERT_TRUE(wait_until([&] {
        return session->logic().frames_decoded() == kFrames &&
               form().Text1(0)->text() == QString::fromStdString(session->logic().cells().Text1[0]);
    }));
    EXPECT_EQ(form().Text1(0)->text(), QString::number(100 + kFrames - 1));
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(form().Text1(i)->text().toStdString(), session->logic().cells().Text1[static_cast<std::size_t>(i)]) << i;
    EXPECT_LT(changes.count(), kFrames / 2) << "the widgets follow the display, not every frame";
    EXPECT_TRUE(wait_until([&] { return session->window().status().fields_text().contains(QStringLiteral("%1 frames").arg(kFrames)); }))
        << session->window().status().fields_text().toStdString();
}

// The command line of the real binary.
namespace {

struct PanelRun {
    int status;
    QString out, err;
};

PanelRun run_panel(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(SENSOR_PANEL_PATH), args);
    p.waitForFinished(15000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

}  // namespace

TEST(Form1CommandLine, HelpAndUsageErrors) {
    const PanelRun help = run_panel({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const QString& word : {QStringLiteral("--port"), QStringLiteral("--log"), QStringLiteral("--demo"),
                                SerialLink::default_port(), LogFile::default_path()})
        EXPECT_TRUE(help.out.contains(word)) << word.toStdString() << " in\n" << help.out.toStdString();

    struct Case {
        QStringList args;
        const char* says;
    };
    const Case cases[] = {
        {{"--bogus"}, "Unknown option 'bogus'."},
        {{"--port"}, "Missing value after '--port'."},
        {{"--demo", "--port", "/dev/ttyS0"}, "--port cannot be given with --demo"},
        {{"stray"}, "Unexpected argument 'stray'."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const PanelRun r = run_panel(c.args);
        EXPECT_EQ(r.status, 2);
        const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 2) << r.err.toStdString();
        EXPECT_TRUE(lines[0].contains(QLatin1String(c.says))) << lines[0].toStdString();
        EXPECT_TRUE(lines[0].endsWith('.'));
        EXPECT_TRUE(lines[1].startsWith("Usage: sensor-panel"));
    }
}

TEST(Form1Demo, TheSimulatedBoardFillsTheCells) {
    QTemporaryDir dir;
    PanelOptions options;
    options.log_path = dir.filePath("sensors.csv");
    options.echo_to_stderr = false;
    PanelSession session(options, std::make_unique<SimulatedConnection>());
    session.start();
    session.window().show();
    EXPECT_TRUE(wait_until([&] { return !session.form().Text1(0)->text().isEmpty(); }, 5000));
    EXPECT_EQ(session.connection()->state(), BoardConnection::State::Open);
    session.window().close();  // the window's close shuts the session down: the board is closed
    EXPECT_EQ(session.connection()->state(), BoardConnection::State::Closed);
}

TEST(Form1CommandLine, OpensTheGivenPortAndEndsCleanlyOnSigterm) {
    PtyPair board;
    QTemporaryDir dir;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(SENSOR_PANEL_PATH), {"--port", board.path(), "--log", dir.filePath("s.csv")});
    QByteArray err;
    ASSERT_TRUE(wait_until([&] { return (err += p.readAllStandardError()).contains("is open."); }, 10000)) << err.toStdString();
    EXPECT_TRUE(err.contains(board.path().toUtf8()));
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << "SIGTERM ends the event loop, it does not kill the panel";
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(board.read_available().isEmpty()) << "nothing is sent at start-up or shutdown";
}

TEST(Form1CommandLine, NoDisplayIsASentenceNotACrash) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(SENSOR_PANEL_PATH), {"--port", "/dev/null"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(p.readAllStandardError().contains("No display")) ;

    // A window system named that this Qt does not have is said as that, not as a display.
    env.insert("QT_QPA_PLATFORM", "nosuchplatform");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(SENSOR_PANEL_PATH), {"--port", "/dev/null"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 1);
    const QString said = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(said.startsWith("sensor-panel: Cannot open the window: QT_QPA_PLATFORM names the window system "
                                "\"nosuchplatform\", which this Qt does not have (it has: ")) << said.toStdString();
    EXPECT_TRUE(said.contains("xcb")) << said.toStdString();
    EXPECT_EQ(said.count('\n'), 1) << "one sentence";
}

TEST(Form1Locale, ACommaLocaleShowsCommasAndLogsPoints) {
    // The session takes the separator from the locale in force when it starts, as the program
    // does from the user's environment.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    PtyPair pair;
    QTemporaryDir dir;
    const QString log = dir.filePath("sensors.csv");
    {
        PanelSession session(quiet_options(log), std::make_unique<SerialLink>(pair.path()));
        session.start();
        ASSERT_TRUE(wait_until([&] { return session.connection()->state() == BoardConnection::State::Open; }));
        session.window().show();
        QTest::mouseClick(session.form().Command1(), Qt::LeftButton);
        ASSERT_EQ(session.form().Command1()->text(), "STOP");
        // Module 1 at time of flight 300 (0.0508 m) and reading 700 (12.4408284023669 cm).
        const auto frame = encode_frame({{700, 700, 700}, {300, 300, 300}, {100, 900}});
        QByteArray stream;
        for (int i = 0; i < 50; ++i) stream.append(reinterpret_cast<const char*>(frame.data()), frame.size());
        pair.write(stream);
        ASSERT_TRUE(wait_until([&] { return session.logic().frames_decoded() == 50; }));
        session.form().refresh();
        EXPECT_EQ(session.form().Text1(6)->text(), "0,0508");
        EXPECT_EQ(session.form().Text1(11)->text(), "12,4408284023669");
    }
    QLocale::setDefault(before);
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "0.0508,0.0508,0.0508,12.4408284023669,12.4408284023669,12.4408284023669,black,white\r\n");
}

TEST_F(Form1Panel, TheRunClockKeepsWhatTheOperatorTypedUntilTheCoreWritesIt) {
    QTest::keyClicks(form().Text3(), "lap 1");
    click(form().Command4());  // a click and a frame both refresh the panel
    pair.write(QByteArray(17, '\x41').replace(16, 1, QByteArray(1, '\0')));
    ASSERT_TRUE(wait_until([&] { return session->logic().frames_decoded() == 1; }));
    form().refresh();
    EXPECT_EQ(form().Text3()->text(), "lap 1");
    click(form().Command5());
    EXPECT_EQ(form().Text3()->text(), "0") << "CLEAR writes the clock";
}

TEST_F(Form1Panel, StaleReadingsAreDimmedAndEveryCellTellsItsWholeTextOnHover) {
    const auto frame = encode_frame({{700, 700, 700}, {300, 300, 300}, {100, 900}});
    pair.write(QByteArray(reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(frame.size())));
    ASSERT_TRUE(wait_until([&] { return form().Text1(11)->text() == "12.4408284023669"; }));
    for (int i = 0; i < 16; ++i) EXPECT_EQ(form().Text1(i)->toolTip(), form().Text1(i)->text()) << i;

    form().set_stale(true);
    for (int i = 0; i < 16; ++i) EXPECT_TRUE(form().Text1(i)->stale()) << i;
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(form().Text2(i)->stale()) << "group states are the panel's own, never stale";
    form().set_stale(false);
    for (int i = 0; i < 16; ++i) EXPECT_FALSE(form().Text1(i)->stale()) << i;
}
