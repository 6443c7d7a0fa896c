// The status line's content in one place: it gathers the facts of the moment (the connection, the
// line's health, the log, the recording), has the pure rules turn them into field texts and news,
// and hands those to the status bar. Every sentence the panel says goes through here, to the
// status bar and to standard error, once.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>

#include "panel/line_health.h"
#include "panel/status_pace.h"

namespace sensor {

class CaptureFile;
class ConnectionSwitcher;
class Form1;
class LogFile;
class PortList;
class StatusBar;

class StatusPresenter : public QObject {
    Q_OBJECT
public:
    struct Sources {
        const ConnectionSwitcher& connections;
        const LogFile& log;
        const CaptureFile& recorder;
        const PortList& ports;
    };

    StatusPresenter(Sources sources, StatusBar& bar, Form1& form, bool echo_to_stderr, QObject* parent = nullptr);

    // The counts follow on their own timer from here on, and on display ticks.
    void start();
    void stop();

    // Says a sentence in the status bar and on standard error.
    void report(const QString& sentence);
    // What else is on, besides a recording: "demo: simulated board"; empty for nothing.
    void set_extras(const QString& extras);
    bool logging() const { return logging_; }
    void set_logging(bool on) { logging_ = on; }

    // Another connection was chosen: its frames are counted afresh.
    void connection_changed();
    // The connection opened (again): its rate and the age of its last frame start again.
    void connection_opened();
    // A frame ended with this many data bytes.
    void frame(int data_bytes);
    // The display ticked: the counts follow when they are due.
    void ticked(std::int64_t tick_interval_ms);
    // Brings every field up to date now.
    void update();

    const LineHealth& health() const { return health_; }

private:
    std::int64_t now_ms() const { return clock_.elapsed(); }
    QString current_description() const;

    Sources sources_;
    StatusBar& bar_;
    Form1& form_;
    bool echo_;
    bool logging_ = true;
    QString extras_;
    LineHealth health_;
    StatusPace pace_;
    QTimer timer_;
    QElapsedTimer clock_;
    LineNews news_ = LineNews::None;  // told at the next update, after the frame's cells are shown
};

}  // namespace sensor
