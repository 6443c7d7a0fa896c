// One running panel: the core, the window, the board connection and the log, wired together.
// Wiring only: the rules are in the core, the I/O in the adapters, the choice of connection in
// ConnectionSwitcher, the status line's content in StatusPresenter.
#pragma once

#include <QObject>
#include <QString>

#include <memory>

#include "io/board_connection.h"
#include "io/capture_file.h"
#include "io/log_file.h"
#include "io/port_list.h"
#include "link/frame_result.h"
#include "panel/marker_book.h"
#include "panel/panel_logic.h"
#include "panel/window/form1.h"
#include "panel/window/main_window.h"
#include "session/connection_switcher.h"
#include "session/display_tick.h"
#include "session/panel_settings.h"
#include "session/status_presenter.h"
#include "trends/history.h"

class QSettings;

namespace sensor {
class TrendsWindow;
}

namespace sensor {

struct PanelOptions {
    QString log_path;  // empty: the one last chosen, else LogFile::default_path()
    // The log once a port is chosen, when log_path was only the demo's; empty: keep log_path.
    QString port_log_path;
    bool echo_to_stderr = true;
    QString marker;          // shown in the status bar while the first connection is in use, e.g. "demo"
    PortList::Source ports;  // where the port list comes from; empty for the system's
    QSettings* settings = nullptr;  // where chosen ports and log files are remembered; none when null
    bool trends = false;            // open the Trends window at start
    bool log_times = false;         // time columns in the log for this run, whatever is remembered
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
    // The raw recording: every byte received from now on, whatever the run and the log do.
    bool start_recording(const QString& path);
    void stop_recording();
    // The Trends window over the history of every frame since start-up, opened and raised.
    void show_trends();
    // Marks the newest frame: in Trends, the recording and the next log line; an empty label
    // becomes "Marker N".
    void mark(const QString& label = {});
    // Whether log lines carry their time columns; remembered when the operator chose it.
    void set_time_columns(bool on, bool remember);
    // Says a sentence in the status bar and on standard error.
    void report(const QString& sentence) { status_.report(sentence); }

    PanelLogic& logic() { return logic_; }
    MainWindow& window() { return window_; }
    Form1& form() { return window_.form(); }
    BoardConnection* connection() { return connections_.current(); }
    ConnectionSwitcher& connections() { return connections_; }
    LogFile& log() { return log_; }
    CaptureFile& recorder() { return recorder_; }
    PortList& ports() { return ports_; }
    const History& history() const { return history_; }
    TrendsWindow* trends() { return trends_.get(); }
    const LineHealth& health() const { return status_.health(); }
    bool logging() const { return status_.logging(); }

signals:
    // Every decoded frame, while the cells show it; for the log, plots and recorders.
    void frame_decoded(const sensor::FrameResult& frame);

private:
    void attach(BoardConnection* connection, bool fresh);
    void wire(BoardConnection* connection);
    void on_received(const QByteArray& chunk);
    void on_state_changed(BoardConnection::State state);
    void on_tick();
    void use_log(const QString& path, bool remember);
    void set_logging(bool on);
    void update_ports();
    void update_replay();
    void save_settings();
    void remember_trends(bool open);  // Trends' place and span, and whether it is open
    bool may_close();

    PanelOptions options_;
    PanelSettings settings_;
    PanelLogic logic_;
    MainWindow window_;  // before the log, so the log's last word at destruction still reaches the window
    LogFile log_;
    CaptureFile recorder_;
    History history_;
    std::unique_ptr<TrendsWindow> trends_;
    PortList ports_;
    ConnectionSwitcher connections_;
    StatusPresenter status_;
    DisplayTick tick_;
    MarkerBook markers_;
    bool time_columns_ = false;
    std::int16_t replayed_byte_ = kControlByteStart;  // the board's byte as a replayed recording had it
    bool first_connection_ = true;
    bool started_ = false;
    bool shut_down_ = false;
};

}  // namespace sensor
