// The board kept in step with the panel: a board that comes back, or is first reached after the
// operator clicked, is sent the panel's byte once; a symbolic link to a pseudo-terminal stands in
// for a device that is pulled and put back.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <memory>

#include "io/serial_link.h"
#include "tests/support/panel_window.h"
#include "tests/support/wait.h"

using namespace sensor;
using namespace sensor::testing;

namespace {

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

}  // namespace

TEST_F(PanelWindow, ABoardThatComesBackLearnsWhatChangedWhileItWasAway) {
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

TEST_F(PanelWindow, AFirstOpenSendsThePanelsByteOnlyWhenTheOperatorAlreadyClicked) {
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
        if (*c.clicks) {
            const QString told = QStringLiteral("The board was sent the panel's state (byte %1)").arg(std::uint8_t(c.first_bytes[0]));
            EXPECT_TRUE(wait_until([&] { return status().message().startsWith(told); })) << status().message().toStdString();
        }
        session.reset();
        board.unplug();
    }
}
