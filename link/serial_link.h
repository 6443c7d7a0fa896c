// The serial port to the board, on Qt SerialPort: opened at 19200 8N1 with the fixed settings,
// every received byte handed on in arrival order, command messages written, and a port that is
// absent, busy or unplugged retried every 2 s instead of ending the panel.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include "panel/panel_logic.h"

class QSerialPort;

namespace sensor {

class SerialLink : public QObject, public CommandSink {
    Q_OBJECT
public:
    enum class State { Closed, Open, Retrying, Lost };

    // port: a device path (/dev/ttyUSB0, /dev/pts/3) or a name (ttyUSB0, COM3); empty for port 1.
    explicit SerialLink(const QString& port = {}, QObject* parent = nullptr);
    ~SerialLink() override;  // closes the port; nothing is sent

    // Port 1 of this platform: COM1 on Windows, /dev/ttyS0 elsewhere.
    static QString default_port();

    // Start-up: set up the port and open it. A failure is reported and retried every 2 s.
    void open();
    // Shutdown: close the port, sending nothing, and stop retrying.
    void close();

    // Writes the message; false (and a message saying why) when the port is not open or the
    // write fails.
    bool send(const ControlMessage& message) override;

    State state() const { return state_; }
    QString port() const { return port_; }  // as the user gave it, or the default
    QString state_text() const;             // "open", "retrying", "lost", "closed"
    quint64 bytes_received() const { return bytes_received_; }

signals:
    void received(const QByteArray& chunk);  // bytes in arrival order
    void message(const QString& sentence);   // one sentence per change of state or failure
    void state_changed(sensor::SerialLink::State state);

private:
    void try_open();
    void on_ready_read();
    void on_error(int error);
    void lose(const QString& reason);
    void set_state(State state, const QString& sentence);
    void check_hang_up();

    QString port_;
    QSerialPort* serial_ = nullptr;
    QTimer retry_;
    QTimer hang_up_check_;
    State state_ = State::Closed;
    QString last_failure_;
    quint64 bytes_received_ = 0;
};

}  // namespace sensor
