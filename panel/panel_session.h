// One running panel: the core, the window, a board connection given from outside and the log file,
// wired together. Wiring only: every rule is in the core, every byte of I/O in the adapters.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>

#include "eval/log_file.h"
#include "link/board_connection.h"
#include "panel/form1.h"
#include "panel/frame_result.h"
#include "panel/panel_logic.h"

namespace sensor {

struct PanelOptions {
    QString log_path;  // empty: LogFile::default_path()
    bool echo_to_stderr = true;
};

class PanelSession : public QObject {
    Q_OBJECT
public:
    PanelSession(const PanelOptions& options, std::unique_ptr<BoardConnection> connection, QObject* parent = nullptr);
    ~PanelSession() override;  // shuts down if the window did not

    // Start-up: the core's Load, then the connection is opened. Sends nothing.
    void start();
    // Shutdown: closes the connection and writes what the log still holds.
    void shutdown();
    // Closes the connection in use and opens this one instead.
    void set_connection(std::unique_ptr<BoardConnection> connection);

    PanelLogic& logic() { return logic_; }
    Form1& form() { return form_; }
    BoardConnection* connection() { return connection_.get(); }
    LogFile& log() { return log_; }

signals:
    // Every decoded frame, while the cells show it; for the log, plots and recorders.
    void frame_decoded(const sensor::FrameResult& frame);

private:
    void on_received(const QByteArray& chunk);
    void report(const QString& sentence);
    void update_status();
    void attach();

    PanelOptions options_;
    PanelLogic logic_;
    Form1 form_;  // before the log, so the log's last word at destruction still reaches the window
    LogFile log_;
    std::unique_ptr<BoardConnection> connection_;
    QTimer status_timer_;
    QElapsedTimer rate_clock_;
    std::uint64_t frames_at_last_status_ = 0;
    double frames_per_second_ = 0.0;
    bool started_ = false;
    bool shut_down_ = false;
};

}  // namespace sensor
