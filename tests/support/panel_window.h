// A panel session in a shown window, as main builds it, over the test's own folder, settings and
// port list; with the frames to feed it and what it wrote to its log.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QList>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <ostream>

#include "io/port_list.h"
#include "session/panel_session.h"
#include "tests/support/pty_pair.h"

// Failures show texts, not their code units.
void PrintTo(const QString& text, std::ostream* out);

namespace sensor::testing {

QStringList action_texts(const QMenu* menu);
QAction* action_named(const QMenu* menu, const QString& part);  // the first whose text holds part
QByteArray frames(int count, int infrared = 500);                // whole frames, as the board sends them
int line_count(const QString& path);                             // 0 for a file that cannot be read
// A session's options for a test or a benchmark: its own log, no port list but the one given, and
// nothing echoed to standard error.
PanelOptions quiet_options(const QString& log_path);

struct PanelWindow : ::testing::Test {
    QTemporaryDir dir;
    std::unique_ptr<QSettings> settings;
    QList<PortInfo> present;  // the port list the session sees; tests change it as adapters come and go
    std::unique_ptr<PanelSession> session;

    void SetUp() override;
    void TearDown() override { session.reset(); }

    PanelOptions options(const QString& log_name = QStringLiteral("sensors.csv"));
    void start(std::unique_ptr<BoardConnection> connection, const PanelOptions& o);
    void start_on(const QString& port);

    MainWindow& window() { return session->window(); }
    Form1& form() { return session->form(); }
    StatusBar& status() { return window().status(); }
    bool open() const { return session->connection()->state() == BoardConnection::State::Open; }
    QString port() const;
    void click(QWidget* w);
    // Starts a run and lets 50 frames through, which is one log line.
    void run_one_log_line(PtyPair& board);
};

}  // namespace sensor::testing
