// One running panel: the core, the window, a board connection given from outside and the log file,
// wired together. Wiring only: every rule is in the core, every byte of I/O in the adapters.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>

#include "io/log_file.h"
#include "io/board_connection.h"
#include "io/capture_file.h"
#include "io/port_list.h"
#include "panel/window/form1.h"
#include "link/frame_result.h"
#include "panel/line_health.h"
#include "panel/window/main_window.h"
#include "panel/panel_logic.h"
#include "trends/history.h"

class QSettings;

namespace sensor {
class TrendsWindow;
}

namespace sensor {

struct PanelOptions {
    QString log_path;  // empty: LogFile::default_path()
    bool echo_to_stderr = true;
    QString marker;               // shown in the status bar, e.g. "demo"; empty for none
    bool ports_choosable = true;  // false while the bytes come from the simulated board or a capture
    PortList::Source ports;       // where the port list comes from; empty for the system's
    QSettings* settings = nullptr;  // where chosen ports and log files are remembered; none when null
    bool trends = false;            // open the Trends window at start
};

class PanelSession : public QObject {
    Q_OBJECT
public:
    PanelSession(const PanelOptions& options, std::unique_ptr<BoardConnection> connection, QObject* parent = nullptr);
    ~PanelSession() override;  // shuts down if the window did not

    // Start-up: the core's Load, then the connection is opened. Sends nothing.
    void start();
    // Shutdown: closes the connection and writes what the log still holds; lines that still
    // cannot be written are saved beside it and said on standard error.
    void shutdown();
    // Closes the connection in use and opens this one instead.
    void set_connection(std::unique_ptr<BoardConnection> connection);
    // The operator chose a serial port: the link switches to it at once.
    void switch_port(const QString& location);
    void set_log_path(const QString& path);
    void set_logging(bool on);
    // The raw recording: every byte received from now on, whatever the run and the log do.
    bool start_recording(const QString& path);
    void stop_recording();
    // Replays a capture through the same path as a board; choosing a port ends it.
    void replay(const QString& path);
    // The Trends window over the history of every frame since start-up, opened and raised.
    void show_trends();
    TrendsWindow* trends() { return trends_.get(); }
    const History& history() const { return history_; }

    PanelLogic& logic() { return logic_; }
    MainWindow& window() { return window_; }
    Form1& form() { return window_.form(); }
    BoardConnection* connection() { return connection_.get(); }
    LogFile& log() { return log_; }
    CaptureFile& recorder() { return recorder_; }
    PortList& ports() { return ports_; }
    const LineHealth& health() const { return health_; }
    bool logging() const { return logging_; }

    // Says a sentence in the status bar (and on standard error).
    void report(const QString& sentence);

signals:
    // Every decoded frame, while the cells show it; for the log, plots and recorders.
    void frame_decoded(const sensor::FrameResult& frame);

private:
    void on_received(const QByteArray& chunk);
    void on_state_changed(BoardConnection::State state);
    void on_command(CommandOutcome outcome);
    void update_status();
    // Brings the status bar up to date unless it was within the last half second.
    void status_may_be_due();
    void update_ports();
    void update_replay();
    void attach();
    bool may_close();
    std::int64_t now_ms() const { return clock_.elapsed(); }

    PanelOptions options_;
    PanelLogic logic_;
    MainWindow window_;  // before the log, so the log's last word at destruction still reaches the window
    LogFile log_;
    CaptureFile recorder_;
    History history_;
    std::unique_ptr<TrendsWindow> trends_;
    PortList ports_;
    std::unique_ptr<BoardConnection> connection_;
    QTimer status_timer_;
    QElapsedTimer status_updated_;  // since the status bar was last brought up to date
    QElapsedTimer clock_;
    LineHealth health_;
    bool logging_ = true;
    bool started_ = false;
    bool shut_down_ = false;
};

}  // namespace sensor
