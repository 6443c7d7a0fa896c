// The program's window around the panel, as the operator meets it: menus and shortcuts, the port
// chooser over real pseudo-terminals and an injected port list, and the status line.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QDialog>
#include <QElapsedTimer>
#include <QInputDialog>
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
#include "panel/window/main_window.h"
#include "panel/window/status_bar.h"
#include "sim/pty/pty_board.h"
#include "tests/support/modal_answer.h"
#include "tests/support/panel_window.h"
#include "tests/support/wait.h"

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
        quiet.write(frames(3));
        ASSERT_TRUE(wait_until([&] { return session->logic().frames_decoded() == before + 3; }));
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
    EXPECT_TRUE(status().log_field()->toolTip() == session->log().path());

    QByteArray line = frames(1, 1000);
    line += QByteArray("\x05\x05\x05\x05\x00", 5);                   // short
    line += QByteArray(20, '\x07') + QByteArray(1, '\0');            // overlong
    board.write(line);
    ASSERT_TRUE(wait_until([&] { return status().fields_text().contains("3 frames"); })) << status().fields_text().toStdString();
    EXPECT_TRUE(status().health_field()->isVisible());
    EXPECT_EQ(status().health_field()->text(), "1 short, 1 overlong");
    EXPECT_FALSE(form().stale());

    // A cell's whole text is its tooltip, however little of it fits.
    for (int i = 0; i < 16; ++i) EXPECT_EQ(form().Text1(i)->toolTip(), form().Text1(i)->text()) << i;

    // Quiet for two seconds: the age is shown and the cells are marked, until the next frame.
    ASSERT_TRUE(wait_until([&] { return status().age_field()->isVisible(); }, 6000));
    EXPECT_TRUE(status().age_field()->text().startsWith("last frame ")) << status().age_field()->text().toStdString();
    EXPECT_TRUE(form().stale());
    EXPECT_TRUE(form().Text1(0)->stale()) << "old readings look old";
    board.write(frames(1));
    ASSERT_TRUE(wait_until([&] { return !form().stale(); }));
    EXPECT_FALSE(form().Text1(0)->stale()) << "until the next frame";
    EXPECT_TRUE(wait_until([&] { return !status().age_field()->isVisible(); }));
    EXPECT_TRUE(status().fields_text().contains("4 frames"));
}

// Counts that change twice a second repaint their own field only: the window is not laid out
// again for a new number, yet every text is shown whole, and a field of another shape (a log that
// cannot be written) is measured afresh and shrinks back when the trouble ends.
TEST(StatusLine, ANewCountRepaintsItsFieldAloneAndEveryTextFits) {
    struct LayoutsCounted : QObject {
        int requests = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            requests += e->type() == QEvent::LayoutRequest;
            return false;
        }
    } counted;
    QMainWindow window;
    auto* bar = new StatusBar(&window);
    window.setStatusBar(bar);
    window.resize(1000, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    bar->installEventFilter(&counted);

    PanelStatus s;
    s.port = QStringLiteral("/dev/ttyUSB0");
    s.port_state = QStringLiteral("open");
    s.show_rate = true;
    s.log_path = QStringLiteral("/home/op/sensors.csv");
    const auto fits = [](QLabel* field) {
        QCoreApplication::processEvents();
        return field->width() >= field->sizeHint().width();
    };
    int changes = 0;
    for (std::uint64_t frames = 1; frames <= 10'000'000; frames = frames * 3 + 1, ++changes) {
        s.frames = frames;
        s.frames_per_second = 100 + static_cast<double>(frames % 14);
        s.log_state = QStringLiteral("%1 lines written").arg(frames / 50);
        bar->show_status(s);
        ASSERT_TRUE(fits(bar->frames_field())) << bar->frames_field()->text().toStdString();
        ASSERT_TRUE(fits(bar->log_field())) << bar->log_field()->text().toStdString();
    }
    EXPECT_LT(counted.requests, changes / 2) << "of " << changes << " changes";

    const int normal_width = bar->log_field()->width();
    s.log_state = QStringLiteral("cannot write: no space left on device; 12 lines waiting");
    bar->show_status(s);
    EXPECT_TRUE(fits(bar->log_field())) << "a text of another shape is measured afresh";
    s.log_state = QStringLiteral("12 lines written");
    bar->show_status(s);
    EXPECT_TRUE(fits(bar->log_field()));
    EXPECT_LE(bar->log_field()->width(), normal_width) << "and gives the room back when the trouble ends";
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
            if (before.isEmpty()) before = status().frames_field()->text();
            return status().frames_field()->text() != before;
        }));
        const double shown = rate_text.match(status().frames_field()->text()).captured(1).toDouble();
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
                                            "permission denied. Add your user to the dialout group, log out and in again.");
    session->report(long_one);
    window().resize(window().minimumSizeHint());
    QCoreApplication::processEvents();
    const QString shown = status().message_field()->text();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << "too long for the line: " << shown.toStdString();
    EXPECT_TRUE(shown.startsWith("Cannot open")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("log out and in again.")) << shown.toStdString();
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

TEST_F(PanelWindow, TheDemoMarkerIsShown) {
    PanelOptions o = options();
    o.marker = QStringLiteral("demo: simulated board");
    o.ports_choosable = false;
    present = {{"/dev/ttyUSB0", "FT232R USB UART", "", ""}};
    start(std::make_unique<SerialLink>(dir.filePath("none")), o);
    EXPECT_TRUE(status().marker_field()->isVisible());
    EXPECT_TRUE(status().fields_text().contains("demo: simulated board"));
    ASSERT_NE(action_named(window().port_menu(), "/dev/ttyUSB0"), nullptr);
    EXPECT_FALSE(action_named(window().port_menu(), "/dev/ttyUSB0")->isEnabled()) << "listed, not choosable";
    EXPECT_FALSE(action_named(window().port_menu(), "Other…")->isEnabled());
}
