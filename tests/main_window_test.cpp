// The program's window around the panel, as the operator meets it: menus and shortcuts, the port
// chooser over real pseudo-terminals and an injected port list, the board kept in step across an
// unplug, the status line, the log menu and the question when closing with lines waiting.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QColor>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <functional>
#include <ostream>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "link/serial_link.h"
#include "panel/main_window.h"
#include "panel/panel_session.h"
#include "sim/frame_encoder.h"
#include "tests/support/pty_pair.h"
#include "tests/support/wait.h"

// Failures show texts, not their code units.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

using namespace sensor;
using sensor::testing::PtyPair;
using sensor::testing::wait_until;

namespace {

QString plain(QString text) { return text.remove(QLatin1Char('&')); }

QStringList action_texts(const QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions())
        if (!a->isSeparator()) out << plain(a->text());
    return out;
}

QAction* action_named(const QMenu* menu, const QString& part) {
    for (QAction* a : menu->actions())
        if (plain(a->text()).contains(part)) return a;
    return nullptr;
}

QByteArray frames(int count, int infrared = 500) {
    const EncodedFrame f = encode_frame({{infrared, 600, 700}, {1800, 3600, 5400}, {100, 900}});
    QByteArray out;
    for (int i = 0; i < count; ++i) out.append(reinterpret_cast<const char*>(f.data()), static_cast<qsizetype>(f.size()));
    return out;
}

int line_count(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return 0;
    return static_cast<int>(f.readAll().count('\n'));
}

// Answers the next modal window of type T once it is up: the answer runs inside its event loop,
// and again while the window stays up (a file dialog may not take the first accept).
template <typename T>
void answer_modal(std::function<void(T*)> answer) {
    auto* poll = new QTimer(qApp);
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [poll, answer, answered = QPointer<T>()]() mutable {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (dialog && !dialog->isVisible()) dialog = nullptr;
        if (answered && answered != dialog) answered = nullptr;
        if (!answered && poll->property("answered").toBool()) {
            poll->stop();
            poll->deleteLater();
            return;
        }
        if (!dialog) return;
        answered = dialog;
        poll->setProperty("answered", true);
        answer(dialog);
    });
    poll->start();
}

// Answers a file dialog with a path, typed as a user would.
void answer_file_dialog(const QString& path) {
    answer_modal<QFileDialog>([path](QFileDialog* d) {
        auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(path);
        static_cast<QDialog*>(d)->accept();
    });
}

void click_button(QWidget* dialog, const QString& text) {
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
        if (plain(b->text()).startsWith(text)) {
            b->click();
            return;
        }
    }
    ADD_FAILURE() << "no button " << text.toStdString() << " in " << dialog->metaObject()->className();
}

// Stands in for the desktop's file manager: records what it was asked to open.
class FolderOpener : public QObject {
    Q_OBJECT
public:
    QList<QUrl> asked;
public slots:
    void open(const QUrl& url) { asked << url; }
};

// A serial device that can be pulled and put back: a symbolic link to a pseudo-terminal.
struct PluggableBoard {
    QString path;
    std::unique_ptr<PtyPair> pair;
    QByteArray seen;

    explicit PluggableBoard(const QString& link_path) : path(link_path) {}
    void plug() {
        pair = std::make_unique<PtyPair>();
        QFile::remove(path);
        EXPECT_TRUE(QFile::link(pair->path(), path));
        seen.clear();
    }
    void unplug() {
        pair->close_slave();
        pair->close_master();
        pair.reset();
        QFile::remove(path);
    }
    QByteArray received(int at_least) {
        wait_until([&] { return (seen += pair->read_available()).size() >= at_least; });
        return seen;
    }
};

struct Window : ::testing::Test {
    QTemporaryDir dir;
    std::unique_ptr<QSettings> settings;
    QList<PortInfo> present;  // the port list the session sees; tests change it as adapters come and go
    std::unique_ptr<PanelSession> session;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        settings = std::make_unique<QSettings>(dir.filePath("panel.ini"), QSettings::IniFormat);
    }
    void TearDown() override { session.reset(); }

    PanelOptions options(const QString& log_name = QStringLiteral("sensors.csv")) {
        PanelOptions o;
        o.log_path = dir.filePath(log_name);
        o.echo_to_stderr = false;
        o.ports = [this] { return present; };
        o.settings = settings.get();
        return o;
    }
    void start(std::unique_ptr<BoardConnection> connection, const PanelOptions& o) {
        session = std::make_unique<PanelSession>(o, std::move(connection));
        session->start();
        session->window().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&session->window()));
    }
    void start_on(const QString& port) { start(std::make_unique<SerialLink>(port), options()); }

    MainWindow& window() { return session->window(); }
    Form1& form() { return session->form(); }
    StatusBar& status() { return window().status(); }
    bool open() const { return session->connection()->state() == BoardConnection::State::Open; }
    QString port() const { return qobject_cast<SerialLink*>(session->connection())->port(); }
    void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
    // Starts a run and lets 50 frames through, which is one log line.
    void run_one_log_line(PtyPair& board) {
        click(form().Command1());
        board.write(frames(50));
        ASSERT_TRUE(wait_until([&] { return session->logic().frames_decoded() >= 50; }));
    }
};

}  // namespace

// Menus, shortcuts and size.

TEST_F(Window, MenusShortcutsAndAMinimumSizeThatShowsEverything) {
    PtyPair board;
    start_on(board.path());
    QStringList titles;
    for (QAction* a : window().menuBar()->actions()) titles << plain(a->text());
    for (const char* title : {"Port", "Log", "View", "Help"}) EXPECT_TRUE(titles.contains(title)) << title;

    // Enter and Space on a focused panel button click it; the tab order is the panel's own.
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

TEST_F(Window, ThePortMenuListsThePortsPresentAndFollowsHotPlug) {
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

TEST_F(Window, ChoosingAPortSwitchesAtOnceTellsTheBoardAndIsRemembered) {
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

TEST_F(Window, AQuietPortNamesTheOtherPortsPresentUntilFramesCome) {
    PtyPair quiet;
    present = {{quiet.path(), "", "", ""}, {"/dev/ttyUSB0", "FT232R USB UART", "FTDI", ""}};
    start_on(quiet.path());
    const QString expected = QStringLiteral("No frames from %1 for 3 s. Other ports: /dev/ttyUSB0 (FT232R USB UART).").arg(quiet.path());
    ASSERT_TRUE(wait_until([&] { return status().message() == expected; }, 10000)) << status().message().toStdString();
    EXPECT_TRUE(status().fields_text().contains(quiet.path() + ": open")) << status().fields_text().toStdString();
    EXPECT_TRUE(status().message_field()->toolTip() == expected);

    // Frames after all: the hint gives way, so the line does not say "no frames" over a count.
    quiet.write(frames(3));
    ASSERT_TRUE(wait_until([&] { return status().fields_text().contains("3 frames"); }));
    EXPECT_TRUE(wait_until([&] { return !status().message().startsWith("No frames"); })) << status().message().toStdString();
    EXPECT_EQ(status().message(), QStringLiteral("Frames arrive from %1 now.").arg(quiet.path()));
}

// The board kept in step with the panel.

TEST_F(Window, ABoardThatComesBackLearnsWhatChangedWhileItWasAway) {
    PluggableBoard board(dir.filePath("board"));
    board.plug();
    start_on(board.path);
    ASSERT_TRUE(wait_until([&] { return open(); }));
    run_one_log_line(*board.pair);
    ASSERT_TRUE(wait_until([&] { return line_count(session->log().path()) == 1; }));
    EXPECT_EQ(board.received(2), QByteArray("\x93\x00", 2));

    board.unplug();
    ASSERT_TRUE(wait_until([&] { return session->connection()->state() == BoardConnection::State::Lost; }, 5000));
    EXPECT_TRUE(status().message().contains("unplugged")) << status().message().toStdString();
    EXPECT_TRUE(status().fields_text().contains(": lost")) << status().fields_text().toStdString();

    click(form().Command1());  // STOP while away: the panel stops the run all the same
    EXPECT_EQ(form().Command1()->text(), "START");
    EXPECT_FALSE(form().Timer1()->isActive());
    EXPECT_EQ(status().message(),
              "The board is not connected: the panel follows the click, and the board will be told when it is back.");

    board.plug();
    ASSERT_TRUE(wait_until([&] { return open(); }, 8000));
    EXPECT_EQ(board.received(2), QByteArray("\x13\x00", 2)) << "the STOP it missed";
    EXPECT_TRUE(wait_until([&] {
        return status().message() == "The board was sent the panel's state (byte 19), so it agrees with what the panel shows.";
    })) << status().message().toStdString();

    // The run is over: frames from the returned board reach the cells but not the log.
    const auto before = session->logic().frames_decoded();
    board.pair->write(frames(100, 321));
    ASSERT_TRUE(wait_until([&] { return session->logic().frames_decoded() == before + 100; }));
    EXPECT_EQ(line_count(session->log().path()), 1);
    EXPECT_TRUE(wait_until([&] { return form().Text1(0)->text() == "321"; }));
    EXPECT_EQ(board.received(3).size(), 2) << "told once";
}

TEST_F(Window, AFirstOpenSendsThePanelsByteOnlyWhenTheOperatorAlreadyClicked) {
    struct Case {
        const char* clicks;  // S: START/STOP, I: IR, R: Reset; before the board is there
        QByteArray first_bytes;  // what the board hears first; after no click, the check box's 27
        const char* ir_group;    // what the panel shows for the IR group meanwhile
        const char* caption;
    };
    const Case cases[] = {
        {"", QByteArray("\x1b\x00", 2), "ON", "START"},
        {"I", QByteArray("\x12\x00", 2), "OFF", "START"},
        {"IR", QByteArray("\x13\x00", 2), "ON", "START"},
        {"SIR", QByteArray("\x13\x00", 2), "ON", "START"},
        {"S", QByteArray("\x93\x00", 2), "ON", "STOP"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clicks);
        PluggableBoard board(dir.filePath("late-board"));
        start_on(board.path);
        EXPECT_FALSE(open());
        for (const char* k = c.clicks; *k; ++k)
            click(*k == 'S' ? form().Command1() : *k == 'I' ? form().Command4() : form().Command3());
        EXPECT_EQ(form().Text2(0)->text(), c.ir_group);
        EXPECT_EQ(form().Command1()->text(), c.caption);
        if (*c.clicks) {
            EXPECT_EQ(status().message(),
                      "The board is not connected: the panel follows the click, and the board will be told when it is back.");
        }
        board.plug();
        ASSERT_TRUE(wait_until([&] { return open(); }, 8000));
        if (!*c.clicks) click(form().Check1());
        EXPECT_EQ(board.received(2), c.first_bytes);
        session.reset();
        board.unplug();
    }
}

// The status line.

TEST_F(Window, TheStatusLineCountsFramesHealthAndAgeAndMarksOldCells) {
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
    const QColor stale_text = form().Text1(0)->palette().color(QPalette::Active, QPalette::Text);
    board.write(frames(1));
    ASSERT_TRUE(wait_until([&] { return !form().stale(); }));
    EXPECT_NE(form().Text1(0)->palette().color(QPalette::Active, QPalette::Text), stale_text) << "old readings look old";
    EXPECT_TRUE(wait_until([&] { return !status().age_field()->isVisible(); }));
    EXPECT_TRUE(status().fields_text().contains("4 frames"));
}

TEST_F(Window, MessagesAreShownWholeOnceAndKeptInTheHistory) {
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

TEST_F(Window, TheDemoMarkerIsShown) {
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

// The log in reach.

TEST_F(Window, TheLogMenuShowsChoosesAndSwitchesTheLog) {
    PtyPair board;
    start_on(board.path());
    ASSERT_TRUE(wait_until([&] { return open(); }));
    QMenu* menu = window().log_menu();
    ASSERT_NE(action_named(menu, session->log().path()), nullptr) << action_texts(menu).join(" / ").toStdString();

    // Another file, which already holds a line: the run's lines are appended to it.
    const QString other = dir.filePath("runs/other.csv");
    QDir().mkpath(dir.filePath("runs"));
    {
        QFile f(other);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("earlier\r\n");
    }
    answer_file_dialog(other);
    action_named(menu, "Choose log file")->trigger();
    ASSERT_EQ(session->log().path(), other);
    EXPECT_EQ(settings->value("log/path").toString(), other);
    EXPECT_NE(action_named(menu, other), nullptr);
    EXPECT_TRUE(status().fields_text().contains("log other.csv")) << status().fields_text().toStdString();

    run_one_log_line(board);
    ASSERT_TRUE(wait_until([&] { return line_count(other) == 2; }));
    QFile f(other);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("earlier\r\n"));

    // "Open log folder" hands the folder to the desktop.
    FolderOpener opener;
    QDesktopServices::setUrlHandler("file", &opener, "open");
    action_named(menu, "Open log folder")->trigger();
    QDesktopServices::unsetUrlHandler("file");
    EXPECT_EQ(opener.asked, QList<QUrl>{QUrl::fromLocalFile(dir.filePath("runs"))});

    // Logging off: a run writes nothing, and the status line says so; on again, it writes.
    QAction* logging = action_named(menu, "Log runs");
    ASSERT_NE(logging, nullptr);
    EXPECT_TRUE(logging->isChecked()) << "on by default";
    logging->trigger();
    EXPECT_FALSE(session->logging());
    EXPECT_TRUE(status().fields_text().contains("logging off"));
    board.write(frames(50));
    ASSERT_TRUE(wait_until([&] { return session->logic().frames_decoded() >= 100; }));
    EXPECT_EQ(line_count(other), 2);
    logging->trigger();
    EXPECT_TRUE(session->logging());
    board.write(frames(50));
    EXPECT_TRUE(wait_until([&] { return line_count(other) == 3; }));
}

TEST_F(Window, ClosingWhileLinesWaitAsksAndDoesWhatTheOperatorChose) {
    struct Case {
        const char* button;
        bool closes;
        int lines_in_log;   // after the answer
        int lines_saved;    // in the other file
    };
    const Case cases[] = {
        {"Cancel", false, 0, 0},
        {"Discard 1 line", true, 0, 0},
        {"Save to another file", true, 0, 1},
        {"Try again", true, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        PtyPair board;
        // The log's name is taken by a folder, so its lines wait.
        const QString log = dir.filePath(QStringLiteral("blocked-%1.csv").arg(c.button));
        ASSERT_TRUE(QDir().mkpath(log));
        start(std::make_unique<SerialLink>(board.path()), options(QFileInfo(log).fileName()));
        ASSERT_TRUE(wait_until([&] { return open(); }));
        run_one_log_line(board);
        ASSERT_TRUE(wait_until([&] { return session->log().waiting() == 1; }));

        const QString saved = dir.filePath(QStringLiteral("saved-%1.csv").arg(c.button));
        QString question;
        answer_modal<QMessageBox>([&](QMessageBox* box) {
            question = box->text();
            if (QString(c.button) == "Save to another file") {
                answer_file_dialog(saved);
            }
            if (QString(c.button) == "Try again") QDir().rmdir(log);  // the folder goes: the file can be written
            click_button(box, c.button);
        });
        window().close();
        EXPECT_TRUE(question.startsWith("1 line could not be written to " + log)) << question.toStdString();
        EXPECT_EQ(!window().isVisible(), c.closes);
        EXPECT_EQ(line_count(log), c.lines_in_log);
        EXPECT_EQ(line_count(saved), c.lines_saved);
        if (!c.closes) {
            EXPECT_EQ(session->log().waiting(), 1u) << "cancelled: the lines still wait";
            session->log().discard_waiting();
        }
        session.reset();
    }
}

TEST_F(Window, AnExitThatCannotAskSavesTheWaitingLinesBesideTheLogAndSaysWhere) {
    PtyPair board;
    const QString log = dir.filePath("blocked.csv");
    ASSERT_TRUE(QDir().mkpath(log));
    start(std::make_unique<SerialLink>(board.path()), options("blocked.csv"));
    ASSERT_TRUE(wait_until([&] { return open(); }));
    run_one_log_line(board);
    ASSERT_TRUE(wait_until([&] { return session->log().waiting() == 1; }));

    // What a SIGTERM does after the event loop ends, with standard error caught in a file.
    const QString err_path = dir.filePath("stderr.txt");
    std::fflush(stderr);
    const int saved_err = ::dup(2);
    const int file = ::open(err_path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(file, 2);
    session->shutdown();
    session.reset();
    std::fflush(stderr);
    ::dup2(saved_err, 2);
    ::close(saved_err);
    ::close(file);

    QFile f(err_path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString err = QString::fromUtf8(f.readAll());
    const QStringList rescued = QDir(dir.path()).entryList({"blocked-unsaved-*.csv"}, QDir::Files);
    ASSERT_EQ(rescued.size(), 1) << err.toStdString();
    const QString where = dir.filePath(rescued.front());
    EXPECT_EQ(line_count(where), 1);
    EXPECT_EQ(err.count('\n'), 1) << "one sentence: " << err.toStdString();
    EXPECT_TRUE(err.startsWith("sensor-panel: 1 line could not be written to " + log)) << err.toStdString();
    EXPECT_TRUE(err.contains("it was saved to " + where)) << err.toStdString();
}

#include "main_window_test.moc"
