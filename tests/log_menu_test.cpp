// The log in reach: the Log menu shows, chooses and opens the file and turns logging off and on;
// closing the window with lines waiting asks; an exit that cannot ask saves them and says where.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QUrl>



#include "io/serial_link.h"
#include "tests/support/modal_answer.h"
#include "tests/support/panel_window.h"
#include "tests/support/stderr_capture.h"
#include "tests/support/wait.h"

using namespace sensor;
using namespace sensor::testing;

namespace {

// Stands in for the desktop's file manager: records what it was asked to open.
class FolderOpener : public QObject {
    Q_OBJECT
public:
    QList<QUrl> asked;
public slots:
    void open(const QUrl& url) { asked << url; }
};

}  // namespace

TEST_F(PanelWindow, TheLogMenuShowsChoosesAndSwitchesTheLog) {
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
    EXPECT_EQ(opener.asked, QList<QUrl>{QUrl::fromLocalFile(dir.filePath("runs"))});
    // A folder that the first line has yet to make is said, not handed over.
    emit window().log_path_chosen(dir.filePath("later/runs.csv"));
    action_named(menu, "Open log folder")->trigger();
    EXPECT_EQ(opener.asked.size(), 1);
    EXPECT_EQ(status().message(), "The folder " + dir.filePath("later") + " does not exist yet; it is made when the first line is logged.");
    QDesktopServices::unsetUrlHandler("file");
    emit window().log_path_chosen(other);

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

TEST_F(PanelWindow, ClosingWhileLinesWaitAsksAndDoesWhatTheOperatorChose) {
    struct Case {
        const char* button;
        bool closes;
        int lines_in_log;   // after the answer
        int lines_saved;    // in the other file
        const char* says;   // the newest message after the answer
    };
    const Case cases[] = {
        {"Cancel", false, 0, 0, ""},
        // A line more comes while the question is open: the count follows it.
        {"Discard 2 lines", true, 0, 0, "2 lines discarded, never written to "},
        {"Save to another file", true, 0, 1, "1 line saved to "},
        {"Try again", true, 1, 0, ""},
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
            if (QString(c.button).startsWith("Discard")) {
                board.write(frames(50));
                wait_until([&] { return session->log().waiting() == 2; });
                EXPECT_TRUE(box->text().startsWith("2 lines could not be written")) << box->text().toStdString();
            }
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
        if (*c.says) {
            EXPECT_TRUE(status().message().startsWith(c.says)) << status().message().toStdString();
        }
        if (!c.closes) {
            EXPECT_EQ(session->log().waiting(), 1u) << "cancelled: the lines still wait";
            session->log().discard_waiting();
        }
        session.reset();
    }
}

TEST_F(PanelWindow, AnExitThatCannotAskSavesTheWaitingLinesBesideTheLogAndSaysWhere) {
    PtyPair board;
    const QString log = dir.filePath("blocked.csv");
    ASSERT_TRUE(QDir().mkpath(log));
    start(std::make_unique<SerialLink>(board.path()), options("blocked.csv"));
    ASSERT_TRUE(wait_until([&] { return open(); }));
    run_one_log_line(board);
    ASSERT_TRUE(wait_until([&] { return session->log().waiting() == 1; }));

    // What a SIGTERM does after the event loop ends, with standard error caught in a file.
    const QString err = stderr_of(dir.path(), [&] {
        session->shutdown();
        session.reset();
    });
    const QStringList rescued = QDir(dir.path()).entryList({"blocked-unsaved-*.csv"}, QDir::Files);
    ASSERT_EQ(rescued.size(), 1) << err.toStdString();
    const QString where = dir.filePath(rescued.front());
    EXPECT_EQ(line_count(where), 1);
    EXPECT_EQ(err.count('\n'), 1) << "one sentence: " << err.toStdString();
    EXPECT_TRUE(err.startsWith("sensor-panel: 1 line could not be written to " + log)) << err.toStdString();
    EXPECT_TRUE(err.contains("it was saved to " + where)) << err.toStdString();
}

#include "log_menu_test.moc"
