// The program's window around the panel, as the operator meets it: menus and shortcuts, the port
// chooser over real pseudo-terminals and an injected port list, and the status line.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QDialog>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QLocale>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <vector>

#include "io/serial_link.h"
#include "io/simulated_connection.h"
#include "panel/window/main_window.h"
#include "panel/window/message_line.h"
#include "panel/window/status_bar.h"
#include "sim/pty/pty_board.h"
#include "tests/support/modal_answer.h"
#include "tests/support/panel_window.h"
#include "tests/support/wait.h"
#include "trends/window/trends_window.h"

using namespace sensor;
using namespace sensor::testing;

// Menus, shortcuts and size.

TEST_F(PanelWindow, MenusShortcutsAndAMinimumSizeThatShowsEverything) {
    PtyPair board;
    start_on(board.path());
    QStringList titles;
    for (QAction* a : window().menuBar()->actions()) titles << plain(a->text());
    for (const char* title : {"Port", "Log", "View", "Help"}) EXPECT_TRUE(titles.contains(title)) << title;

    // Enter and Space on a focused panel button click it.
    form().Command1()->setFocus();
    QTest::keyClick(form().Command1(), Qt::Key_Return);
    EXPECT_TRUE(wait_until([&] { return form().Command1()->text() == "STOP"; }));
    QTest::keyClick(form().Command1(), Qt::Key_Enter);
    EXPECT_TRUE(wait_until([&] { return form().Command1()->text() == "START"; }));
    QTest::keyClick(form().Command4(), Qt::Key_Space);
    EXPECT_TRUE(wait_until([&] { return form().Text2(0)->text() == "OFF"; }));
    QByteArray sent;
    wait_until([&] { return (sent += board.read_available()).size() >= 6; });
    EXPECT_EQ(sent, QByteArray("\x93\x00\x13\x00\x12\x00", 6));

    window().resize(50, 50);
    QCoreApplication::processEvents();
    const int menu = window().menuBar()->height();
    EXPECT_GE(window().height(), menu + form().height() + status().height()) << "menu bar, whole panel and status bar";
    EXPECT_GE(window().width(), form().width());
    EXPECT_GE(form().mapTo(&window(), QPoint(0, 0)).y(), menu) << "the menu bar covers no part of the panel";

    // Tab moves through the panel in its own order, as on the bare panel.
    PanelLogic bare_logic;
    Form1 bare(bare_logic);
    std::vector<QString> expected, visited;
    for (QWidget* w = bare.Command1(); expected.size() < 12; w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus) expected.push_back(w->objectName());
    window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    form().Command1()->setFocus();
    for (std::size_t i = 0; i < expected.size(); ++i) {
        visited.push_back(QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited, expected);

    QSignalSpy unloading(&window(), &MainWindow::unloading);
    window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window())) << "a shortcut reaches the active window";
    QTest::keyClick(&window(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(wait_until([&] { return !window().isVisible(); }));
    EXPECT_EQ(unloading.count(), 1);
    EXPECT_EQ(session->connection()->state(), BoardConnection::State::Closed);
}

// The port chooser.

TEST_F(PanelWindow, ThePortMenuListsThePortsPresentAndFollowsHotPlug) {
    PtyPair a, b;
    present = {{a.path(), "FT232R USB UART", "FTDI", "A9XK2"}};
    start_on(a.path());
    QMenu* menu = window().port_menu();

    QAction* mine = action_named(menu, a.path());
    ASSERT_NE(mine, nullptr) << action_texts(menu).join(" / ").toStdString();
    for (const char* part : {"FT232R USB UART", "FTDI", "A9XK2"}) EXPECT_TRUE(mine->text().contains(part)) << part;
    EXPECT_TRUE(mine->isChecked()) << "the open port is marked";
    ASSERT_NE(action_named(menu, "Other…"), nullptr);
    EXPECT_TRUE(action_named(menu, "Other…")->isEnabled());

    // An adapter is plugged in, then pulled out again; nobody touches the window.
    present.append({b.path(), "USB-Serial Controller", "Prolific", ""});
    ASSERT_TRUE(wait_until([&] { return action_named(window().port_menu(), b.path()) != nullptr; }, 5000));
    EXPECT_FALSE(action_named(window().port_menu(), b.path())->isChecked());
    present.removeLast();
    EXPECT_TRUE(wait_until([&] { return action_named(window().port_menu(), b.path()) == nullptr; }, 5000));

    // No ports at all: said so, and "Other…" still reaches any path.
    present.clear();
    ASSERT_TRUE(wait_until([&] { return action_named(window().port_menu(), "No serial ports found") != nullptr; }, 5000));
    ASSERT_NE(action_named(window().port_menu(), a.path()), nullptr) << "the port in use stays shown";
    EXPECT_TRUE(action_named(window().port_menu(), a.path())->isChecked());
}

TEST_F(PanelWindow, ChoosingAPortSwitchesAtOnceTellsTheBoardAndIsRemembered) {
    PtyPair a, b;
    present = {{a.path(), "first", "", ""}, {b.path(), "second", "", ""}};
    start_on(a.path());
    ASSERT_TRUE(wait_until([&] { return open(); }));
    click(form().Command4());  // IR off reaches the first board: 18
    EXPECT_EQ(a.read_available(), QByteArray("\x12\x00", 2));

    // A real click in the open menu: the menu is rebuilt while the click is being handled.
    QMenu* menu = window().port_menu();
    menu->popup(window().mapToGlobal(QPoint(0, 0)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action_named(menu, b.path())).center());
    ASSERT_TRUE(wait_until([&] { return port() == b.path() && open(); }));
    EXPECT_FALSE(menu->isVisible());
    QByteArray at_b;
    ASSERT_TRUE(wait_until([&] { return (at_b += b.read_available()).size() >= 2; }));
    EXPECT_EQ(at_b, QByteArray("\x12\x00", 2)) << "the new board learns the panel's state once";
    EXPECT_TRUE(wait_until([&] { return status().message().contains("byte 18"); })) << status().message().toStdString();
    EXPECT_TRUE(a.read_available().isEmpty());
    EXPECT_EQ(settings->value("port/last").toString(), b.path());
    EXPECT_TRUE(action_named(window().port_menu(), b.path())->isChecked());
    EXPECT_FALSE(action_named(window().port_menu(), a.path())->isChecked());

    // "Other…" takes any path, here one that no list knows.
    PtyPair c;
    answer_modal<QInputDialog>([&](QInputDialog* d) {
        d->setTextValue(c.path());
        d->accept();
    });
    action_named(window().port_menu(), "Other…")->trigger();
    ASSERT_TRUE(wait_until([&] { return port() == c.path() && open(); }));
    EXPECT_EQ(settings->value("port/last").toString(), c.path());
    QByteArray at_c;
    ASSERT_TRUE(wait_until([&] { return (at_c += c.read_available()).size() >= 2; }));
    EXPECT_EQ(at_c, QByteArray("\x12\x00", 2));

    // A name that never opens is not remembered: the next start would only fail with it again.
    answer_modal<QInputDialog>([&](QInputDialog* d) {
        d->setTextValue("COM3");
        d->accept();
    });
    action_named(window().port_menu(), "Other…")->trigger();
    ASSERT_TRUE(wait_until([&] { return status().message().startsWith("Cannot open serial port COM3"); }))
        << status().message().toStdString();
    EXPECT_EQ(settings->value("port/last").toString(), c.path());
}

TEST_F(PanelWindow, AQuietPortIsSaidWithTheOtherPortsPresentUntilFramesCome) {
    PtyPair quiet;
    struct Case {
        QList<PortInfo> others;
        QString hint;
    };
    const Case cases[] = {
        {{{"/dev/ttyUSB0", "FT232R USB UART", "FTDI", ""}}, "Other ports: /dev/ttyUSB0 (FT232R USB UART)."},
        {{}, "Is the board switched on and on this port?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hint.toStdString());
        present = QList<PortInfo>{{quiet.path(), "", "", ""}} + c.others;
        start_on(quiet.path());
        const QString expected = QStringLiteral("No frames from %1 for 3 s. ").arg(quiet.path()) + c.hint;
        ASSERT_TRUE(wait_until([&] { return status().message() == expected; }, 10000)) << status().message().toStdString();
        EXPECT_TRUE(status().fields_text().contains(quiet.path() + ": open")) << status().fields_text().toStdString();
        EXPECT_EQ(status().message_field()->toolTip(), expected);

        // Frames after all: the hint gives way, so the line does not say "no frames" over a count.
        const auto before = session->logic().frames_decoded();
        quiet.write(frames(LineHealth::kJudgedFrames));
        ASSERT_TRUE(wait_until([&] { return session->logic().frames_decoded() == before + LineHealth::kJudgedFrames; }));
        EXPECT_TRUE(wait_until([&] { return !status().message().startsWith("No frames"); })) << status().message().toStdString();
        EXPECT_EQ(status().message(), QStringLiteral("Frames arrive from %1 now.").arg(quiet.path()));
        session.reset();
    }
}

// The status line.

TEST_F(PanelWindow, TheStatusLineCountsFramesHealthAndAgeAndMarksOldCells) {
    PtyPair board;
    start_on(board.path());
    ASSERT_TRUE(wait_until([&] { return open(); }));
    EXPECT_TRUE(status().fields_text().contains(board.path() + ": open")) << status().fields_text().toStdString();
    EXPECT_TRUE(status().fields_text().contains("log sensors.csv: 0 lines written"));
    EXPECT_EQ(status().fields()->tip(StatusFields::Log), session->log().path());

    QByteArray line = frames(1, 1000);
    line += QByteArray("\x05\x05\x05\x05\x00", 5);                   // short
    line += QByteArray(20, '\x07') + QByteArray(1, '\0');            // overlong
    board.write(line);
    ASSERT_TRUE(wait_until([&] { return status().fields_text().contains("3 frames"); })) << status().fields_text().toStdString();
    EXPECT_EQ(status().field(StatusFields::Health), "1 short, 1 overlong");
    EXPECT_FALSE(form().stale());

    // A cell's whole text is its tooltip, however little of it fits.
    for (int i = 0; i < 16; ++i) EXPECT_EQ(form().Text1(i)->toolTip(), form().Text1(i)->text()) << i;

    // Quiet for two seconds: the age is shown and the cells are marked, until the next frame.
    ASSERT_TRUE(wait_until([&] { return !status().field(StatusFields::Age).isEmpty(); }, 6000));
    EXPECT_TRUE(status().field(StatusFields::Age).startsWith("last frame ")) << status().field(StatusFields::Age).toStdString();
    EXPECT_TRUE(form().stale());
    EXPECT_TRUE(form().Text1(0)->stale()) << "old readings look old";
    board.write(frames(1));
    ASSERT_TRUE(wait_until([&] { return !form().stale(); }));
    EXPECT_FALSE(form().Text1(0)->stale()) << "until the next frame";
    EXPECT_TRUE(wait_until([&] { return status().field(StatusFields::Age).isEmpty(); }));
    EXPECT_TRUE(status().fields_text().contains("4 frames"));
}

// Counts that change twice a second repaint the fields' row only: the window is not laid out
// again for a new number, and however long the texts grow, the window keeps the panel's width:
// the fields give way, elided, with their whole text a hover away.
TEST_F(PanelWindow, NewCountsNeverReLayOutOrWidenTheWindow) {
    struct LayoutsCounted : QObject {
        int requests = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            requests += e->type() == QEvent::LayoutRequest;
            return false;
        }
    } counted;
    PtyPair board;
    start_on(board.path());
    window().resize(window().minimumSizeHint());
    QCoreApplication::processEvents();
    const int width = window().width();
    EXPECT_EQ(width, form().width()) << "the window is as wide as the panel";
    status().installEventFilter(&counted);
    window().installEventFilter(&counted);

    const QString long_path = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A9XK2QF1-if00-port0");
    for (std::uint64_t frames = 1; frames <= 10'000'000; frames = frames * 3 + 1) {
        const QString n = QLocale().toString(static_cast<qulonglong>(frames));
        status().show_fields(long_path + ": open", n + " frames, 113/s", n + " short, " + n + " overlong",
                             "last frame 1 h 2 min ago", QStringLiteral("log sensors.csv: %1 lines written").arg(n),
                             "demo: simulated board, recording a-long-recording-name.rec, 12.3 MiB", "/home/op/sensors.csv");
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(counted.requests, 0);
    EXPECT_EQ(window().width(), width) << "no text widens the window";
    const StatusFields& fields = *status().fields();
    EXPECT_TRUE(fields.shown(StatusFields::Port).contains(QChar(0x2026))) << "the longest field gave way";
    EXPECT_TRUE(fields.shown(StatusFields::Port).endsWith(": open")) << "keeping the port's state";
    EXPECT_TRUE(fields.shown(StatusFields::Frames).startsWith("7,174,453 frames")) << "and the counts";
    EXPECT_LE(fields.field_rect(StatusFields::Extras).right(), fields.width());
}

// The rate shown early is the rate the board sends, both at the first open and after it came back:
// compared with the frames the test counts over the same time, not with a clock's promise.
TEST_F(PanelWindow, TheRateIsRightInTheFirstSecondAndAfterAReconnect) {
    const QString link = dir.filePath("board");
    auto board = std::make_unique<PtyBoard>();
    QString error;
    ASSERT_TRUE(board->start(&error) && board->make_link(link, &error)) << error.toStdString();
    start_on(link);
    const QRegularExpression rate_text(", (\\d+)/s$");
    for (const char* phase : {"first open", "after a reconnect"}) {
        SCOPED_TRACE(phase);
        ASSERT_TRUE(wait_until([&] { return open(); }, 8000));
        QElapsedTimer since_open;
        since_open.start();
        const auto at_open = session->logic().frames_decoded();
        // The first status update after some frames have come.
        QString before;
        ASSERT_TRUE(wait_until([&] {
            if (session->logic().frames_decoded() < at_open + 30) return false;
            if (before.isEmpty()) before = status().field(StatusFields::Frames);
            return status().field(StatusFields::Frames) != before;
        }));
        const double shown = rate_text.match(status().field(StatusFields::Frames)).captured(1).toDouble();
        const double early_ms = static_cast<double>(since_open.elapsed());
        const double counted = static_cast<double>(session->logic().frames_decoded() - at_open) * 1000.0 / early_ms;
        EXPECT_LT(early_ms, 1000) << "the rate was read within the first second";
        EXPECT_GT(shown / counted, 0.7) << shown << "/s shown, " << counted << "/s counted";
        EXPECT_LT(shown / counted, 1.3) << shown << "/s shown, " << counted << "/s counted";

        board.reset();  // unplugged
        ASSERT_TRUE(wait_until([&] { return !open(); }, 5000));
        board = std::make_unique<PtyBoard>();
        ASSERT_TRUE(board->start(&error) && board->make_link(link, &error)) << error.toStdString();
    }
}

TEST_F(PanelWindow, MessagesAreShownWholeOnceAndKeptInTheHistory) {
    PtyPair board;
    start_on(board.path());
    const QString long_one = QStringLiteral("Cannot open serial port /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A9XK2QF1-if00-port0: "
                                            "permission denied. Add your user to the dialout group (sudo usermod -aG dialout $USER) and log in again.");
    session->report(long_one);
    window().resize(window().minimumSizeHint());
    QCoreApplication::processEvents();
    EXPECT_EQ(QString(status().message_field()->shown()).replace('\n', ' '), long_one)
        << "read whole at the window's own size, what to do included";
    EXPECT_EQ(status().message_field()->toolTip(), long_one);

    const auto kept = status().history().size();
    session->report(long_one);
    EXPECT_EQ(status().history().size(), kept) << "the same sentence again is not a new message";

    click(form().Command4());
    click(form().Command2());
    click(form().Command6());
    EXPECT_EQ(status().message(), "At least one sensor group stays on.");
    EXPECT_EQ(form().Text2(2)->text(), "ON");

    QString history_text;
    answer_modal<QDialog>([&](QDialog* d) {
        if (auto* text = d->findChild<QPlainTextEdit*>()) history_text = text->toPlainText();
        d->reject();
    });
    action_named(window().view_menu(), "Messages")->trigger();
    EXPECT_TRUE(history_text.contains(long_one));
    EXPECT_TRUE(history_text.contains("At least one sensor group stays on."));
    EXPECT_EQ(history_text.count(long_one), 1);
}

TEST_F(PanelWindow, TheDemoIsLeftForAPortChosenInThePortMenu) {
    PtyPair board;
    PanelOptions o = options("sensors-demo.csv");
    o.marker = QStringLiteral("demo: simulated board");
    o.port_log_path = dir.filePath("sensors.csv");
    present = {{board.path(), "FT232R USB UART", "", ""}};
    start(std::make_unique<SimulatedConnection>(), o);
    EXPECT_TRUE(status().fields_text().contains("demo: simulated board"));
    QAction* port = action_named(window().port_menu(), board.path());
    ASSERT_NE(port, nullptr);
    ASSERT_TRUE(port->isEnabled()) << "a port leaves the demo";
    EXPECT_TRUE(action_named(window().port_menu(), "Other…")->isEnabled());

    port->trigger();
    ASSERT_TRUE(wait_until([&] { return open() && this->port() == board.path(); }));
    EXPECT_FALSE(status().fields_text().contains("demo")) << status().fields_text().toStdString();
    EXPECT_EQ(session->log().path(), dir.filePath("sensors.csv")) << "the demo's made-up readings keep their own log";
}

// Trends opens at the next start where it was and at its span when the panel ended with it open,
// however the panel was closed (Ctrl+Q pressed in Trends here); closed by the operator, it stays
// closed; reopened, it keeps its place.
TEST_F(PanelWindow, TrendsOpensAgainWhereItWasUnlessTheOperatorClosedIt) {
    PtyPair board;
    start_on(board.path());
    session->show_trends();
    session->trends()->resize(700, 500);
    session->trends()->set_span_seconds(3600);
    QTest::keyClick(session->trends(), Qt::Key_Q, Qt::ControlModifier);
    ASSERT_FALSE(window().isVisible()) << "Ctrl+Q closes the panel from Trends too";
    session.reset();

    start_on(board.path());
    ASSERT_NE(session->trends(), nullptr) << "open when the panel ended, so open again";
    EXPECT_TRUE(session->trends()->isVisible());
    EXPECT_EQ(session->trends()->size(), QSize(700, 500));
    EXPECT_EQ(session->trends()->span_seconds(), 3600);
    session->trends()->resize(640, 480);
    session->trends()->close();
    session->show_trends();
    EXPECT_EQ(session->trends()->size(), QSize(640, 480)) << "reopened where it was";
    session->trends()->close();
    session.reset();

    start_on(board.path());
    EXPECT_EQ(session->trends(), nullptr) << "closed by the operator, so not opened";
}
