// One running panel: the core, the window, the serial link and the log file wired together, and
// with --demo the simulated board on a pseudo-terminal in front of the link.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>

#include "eval/log_file.h"
#include "link/serial_link.h"
#include "panel/form1.h"
#include "panel/panel_logic.h"
#include "sim/pty_board.h"

namespace sensor {

struct PanelOptions {
    QString port;      // empty: the platform's port 1
    QString log_path;  // empty: LogFile::default_path()
    bool demo = false; // the simulated board instead of a real one
    bool echo_to_stderr = true;
};

class PanelSession : public QObject {
    Q_OBJECT
public:
    explicit PanelSession(const PanelOptions& options, QObject* parent = nullptr);
    ~PanelSession() override;  // shuts down if the window did not

    // Start-up: the core's Load, then (with --demo) the simulated board, then the port is opened.
    // Sends nothing. False with a sentence when the simulated board cannot start.
    bool start(QString* error);
    // Shutdown: closes the port and writes what the log still holds.
    void shutdown();

    PanelLogic& logic() { return logic_; }
    Form1& form() { return form_; }
    SerialLink* link() { return link_.get(); }
    LogFile& log() { return log_; }
    PtyBoard* board() { return board_.get(); }

private:
    void on_received(const QByteArray& chunk);
    void report(const QString& sentence);
    void update_status();

    PanelOptions options_;
    PanelLogic logic_;
    Form1 form_;  // before the log, so the log's last word at destruction still reaches the window
    LogFile log_;
    std::unique_ptr<PtyBoard> board_;
    std::unique_ptr<SerialLink> link_;
    QTimer status_timer_;
    QElapsedTimer rate_clock_;
    std::uint64_t frames_at_last_status_ = 0;
    double frames_per_second_ = 0.0;
    bool shut_down_ = false;
};

}  // namespace sensor
