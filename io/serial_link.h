// The serial port to the board, on Qt SerialPort: opened at 19200 8N1 with the fixed settings,
// every received byte handed on in arrival order, command messages written at once, and a port
// that is absent, busy or unplugged retried instead of ending the panel.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <optional>
#include <string>

#include "io/board_connection.h"
#include "link/link_policy.h"
#include "link/read_pace.h"

class QSerialPort;

namespace sensor {

class SerialLink : public BoardConnection, public PortControl {
    Q_OBJECT
public:
    // Reads follow the display's pace (ReadPace): bytes wait in the driver, and are read
    // together, until the panel would show them.

    // port: a device path (/dev/ttyUSB0, /dev/pts/3) or a name (ttyUSB0, COM3); empty for port 1.
    explicit SerialLink(const QString& port = {}, QObject* parent = nullptr);
    ~SerialLink() override;  // closes the port; nothing is sent

    // Port 1 of this platform: COM1 on Windows, /dev/ttyS0 elsewhere.
    static QString default_port();

    // Start-up: set up the port and open it. A failure is reported and retried every 2 s.
    void open() override;
    // Shutdown: close the port, sending nothing, and stop retrying.
    void close() override;
    void switch_to(const QString& port) override;

    bool write_message(const ControlMessage& message) override;

    State state() const override { return policy_.state(); }
    QString description() const override { return port_; }
    QString port() const override { return port_; }
    PortControl* port_control() override { return this; }
    quint64 bytes_received() const { return bytes_received_; }

private:
    void try_open();
    void on_ready_read();
    void read_now();
    bool input_waiting() const;
    void hand_on(const QByteArray& chunk);
    void on_error(int error);
    void lose(LossCause cause, const QString& detail = {});
    void apply(const LinkPolicy::Step& step);
    void schedule_retry();
    void check_hang_up();
    void drop_port();
    std::int64_t now_ms() const { return clock_.elapsed(); }

    QString port_;
    LinkPolicy policy_;
    QElapsedTimer clock_;
    QSerialPort* serial_ = nullptr;
    QTimer retry_;
    QTimer hang_up_check_;
    QTimer read_due_;  // runs only while bytes wait to be read
    ReadPace pace_;
    bool reading_ = false;
    std::optional<int> error_while_reading_;
    quint64 bytes_received_ = 0;
    std::string ports_said_;  // the port list given with the last "no such device"
};

}  // namespace sensor
