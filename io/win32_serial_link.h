// The serial port to the board on Windows, on the Win32 communications API (Qt SerialPort is not
// there): opened at 19200 8N1 without handshaking and with DTR and RTS off, every received byte
// handed on in arrival order, command messages written at once, and a port that is absent, busy
// or unplugged retried instead of ending the panel.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>

#include "io/board_connection.h"
#include "link/link_policy.h"
#include "link/read_pace.h"

class QWinEventNotifier;

namespace sensor {

class Win32SerialLink : public BoardConnection, public PortControl {
    Q_OBJECT
public:
    // Reads follow the display's pace (ReadPace): a one-byte read waits for the board; what
    // follows it waits in the driver, and is read together, until the panel would show it.

    // port: a name (COM3, com3) or a device path (\\.\COM3); empty for port 1.
    explicit Win32SerialLink(const QString& port = {}, QObject* parent = nullptr);
    ~Win32SerialLink() override;  // closes the port; nothing is sent

    static QString default_port();  // COM1

    void open() override;
    void close() override;
    void switch_to(const QString& port) override;

    bool write_message(const ControlMessage& message) override;

    State state() const override { return policy_.state(); }
    QString description() const override { return port_; }
    QString port() const override { return port_; }
    PortControl* port_control() override { return this; }

private:
    struct Device;  // the open handle and its overlapped reads, in Win32's types

    void try_open();
    void wait_for_byte();
    void on_wait_ended();
    void read_now();
    void hand_on(const QByteArray& chunk);
    // A failed read, write or status query: true when it lost the port.
    bool read_failed(unsigned long code);
    void lose(LossCause cause, const QString& detail = {});
    void drop_device();
    void apply(const LinkPolicy::Step& step);
    void schedule_retry();
    std::int64_t now_ms() const { return clock_.elapsed(); }

    QString port_;
    LinkPolicy policy_;
    QElapsedTimer clock_;
    std::unique_ptr<Device> device_;
    QWinEventNotifier* byte_came_ = nullptr;  // the one-byte read ended
    QTimer retry_;
    QTimer read_due_;  // runs only while bytes wait to be read
    ReadPace pace_;
    std::string ports_said_;  // the port list given with the last "no such device"
};

}  // namespace sensor
