// The program's window: the panel (Form1) exactly as designed in the middle, with a menu bar
// (File, Port, Log, View, Help) above it and the status bar below. Menus only ask; the session
// decides and does.
#pragma once

#include <QList>
#include <QMainWindow>
#include <QString>

#include <functional>

#include "io/port_list.h"
#include "panel/window/form1.h"
#include "panel/window/status_bar.h"

class QAction;
class QMenu;

namespace sensor {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(PanelLogic& logic, QWidget* parent = nullptr);

    Form1& form() { return *form_; }
    StatusBar& status() { return *status_; }
    QMenu* file_menu() const { return file_menu_; }
    QMenu* port_menu() const { return port_menu_; }
    QMenu* log_menu() const { return log_menu_; }
    QMenu* view_menu() const { return view_menu_; }

    // The ports present and the one in use; with choosable false (a demo, a replay) the ports
    // are listed but cannot be chosen.
    void set_ports(const QList<PortInfo>& ports, const QString& current, bool choosable);
    void set_log(const QString& path, bool logging);
    void set_time_columns(bool on);
    // Asks the operator for a marker's label over the active window, then asks for the marker.
    void ask_marker_label();
    // File menu: the recording's item reads "Stop recording" while one is on; the replay's
    // controls are there only while a capture is replayed.
    void set_recording(bool on);
    void set_replay(bool on, bool paused, double speed);

    // Asked before the window closes; false keeps it open (the user cancelled).
    void set_close_guard(std::function<bool()> guard) { close_guard_ = std::move(guard); }

    void show_messages();  // the message history, in a window of its own

signals:
    void port_chosen(const QString& location);
    void log_path_chosen(const QString& path);
    void logging_switched(bool on);
    void record_requested(const QString& path);
    void stop_recording_requested();
    void replay_requested(const QString& path);
    void replay_pause_requested(bool pause);
    void replay_restart_requested();
    void replay_speed_requested(double speed);
    void trends_requested();
    // Mark the newest frame; an empty label: the next "Marker N".
    void marker_requested(const QString& label);
    void time_columns_switched(bool on);
    void message(const QString& sentence);  // what the window itself found, to be said once
    void unloading();  // the window is closing: the connection and the log are to be closed

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build_menus();
    void choose_other_port();
    void choose_log_file();
    void open_log_folder();

    Form1* form_;
    StatusBar* status_;
    QMenu* file_menu_ = nullptr;
    QMenu* port_menu_ = nullptr;
    QMenu* log_menu_ = nullptr;
    QMenu* view_menu_ = nullptr;
    QAction* log_path_action_ = nullptr;
    QAction* logging_action_ = nullptr;
    QAction* time_columns_action_ = nullptr;
    QAction* record_action_ = nullptr;
    QAction* pause_action_ = nullptr;
    QAction* restart_action_ = nullptr;
    QMenu* speed_menu_ = nullptr;
    bool recording_ = false;
    QList<PortInfo> ports_;
    QString current_port_;
    bool ports_choosable_ = true;
    QString log_path_;
    std::function<bool()> close_guard_;
};

}  // namespace sensor
