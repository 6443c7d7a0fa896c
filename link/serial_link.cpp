#include "link/serial_link.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <unistd.h>
#endif

namespace sensor {
namespace {

constexpr int kRetryMs = 2000;
// Qt SerialPort 6.4 can stop reading without an error when the far side hangs up, so an open port
// is also asked directly, twice a second, whether the line is still there.
constexpr int kHangUpCheckMs = 500;

QString lower_first(QString text) {
    if (!text.isEmpty()) text[0] = text[0].toLower();
    while (text.endsWith('.')) text.chop(1);
    return text;
}

QString available_ports() {
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        QString name = info.systemLocation();
        if (!info.description().isEmpty()) name += " (" + info.description() + ")";
        names << name;
    }
    return names.join(", ");
}

#ifdef Q_OS_UNIX
// Where a port given by name ("ttyUSB0") lives, as Qt SerialPort resolves it.
QString device_file(const QString& port) { return port.startsWith('/') ? port : QStringLiteral("/dev/") + port; }
#endif

// A regular file would open and then never deliver a byte; it is refused with a plain reason.
bool is_serial_device(const QString& port) {
#ifdef Q_OS_UNIX
    const QFileInfo info(device_file(port));
    return !info.exists() || !info.isFile();
#else
    Q_UNUSED(port);
    return true;
#endif
}

}  // namespace

SerialLink::SerialLink(const QString& port, QObject* parent)
    : QObject(parent), port_(port.isEmpty() ? default_port() : port) {
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, &SerialLink::try_open);
    hang_up_check_.setInterval(kHangUpCheckMs);
    connect(&hang_up_check_, &QTimer::timeout, this, &SerialLink::check_hang_up);
}

SerialLink::~SerialLink() { close(); }

QString SerialLink::default_port() {
#ifdef Q_OS_WIN
    return QStringLiteral("COM1");
#else
    return QStringLiteral("/dev/ttyS0");
#endif
}

QString SerialLink::state_text() const {
    switch (state_) {
        case State::Open: return QStringLiteral("open");
        case State::Retrying: return QStringLiteral("retrying");
        case State::Lost: return QStringLiteral("lost");
        case State::Closed: break;
    }
    return QStringLiteral("closed");
}

void SerialLink::open() {
    if (state_ == State::Open) return;
    try_open();
}

void SerialLink::close() {
    retry_.stop();
    hang_up_check_.stop();
    if (serial_) {
        serial_->disconnect(this);
        serial_->close();
        delete serial_;
        serial_ = nullptr;
    }
    state_ = State::Closed;
}

void SerialLink::try_open() {
    if (!serial_) {
        serial_ = new QSerialPort(this);
        connect(serial_, &QSerialPort::readyRead, this, &SerialLink::on_ready_read);
        connect(serial_, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) { on_error(e); });
    }
    // The line's fixed settings, in this order: port, 19200 N 8 1, then open. Qt hands over
    // whatever has arrived; the core takes it one byte at a time.
    serial_->setPortName(port_);
    serial_->setBaudRate(QSerialPort::Baud19200);
    serial_->setParity(QSerialPort::NoParity);
    serial_->setDataBits(QSerialPort::Data8);
    serial_->setStopBits(QSerialPort::OneStop);
    serial_->setFlowControl(QSerialPort::NoFlowControl);

    if (is_serial_device(port_) && serial_->open(QIODevice::ReadWrite)) {
        // Bytes left in the driver from before the open would otherwise arrive first.
        serial_->clear(QSerialPort::Input);
        retry_.stop();
        hang_up_check_.start();
        const bool again = state_ == State::Lost || state_ == State::Retrying;
        last_failure_.clear();
        set_state(State::Open, again ? QStringLiteral("Serial port %1 is open again.").arg(port_)
                                     : QStringLiteral("Serial port %1 is open.").arg(port_));
        return;
    }

    QString reason;
    if (!is_serial_device(port_)) {
        reason = QStringLiteral("Cannot open serial port %1: it is not a serial device. Choose a port with --port NAME.").arg(port_);
    } else {
        switch (serial_->error()) {
            case QSerialPort::DeviceNotFoundError: {
                const QString ports = available_ports();
                reason = QStringLiteral("Cannot open serial port %1: no such device. ").arg(port_) +
                         (ports.isEmpty() ? QStringLiteral("No serial ports were found; plug in the board or its USB-serial adapter.")
                                          : QStringLiteral("Ports on this machine: %1. Choose one with --port NAME.").arg(ports));
                break;
            }
            case QSerialPort::PermissionError:
#ifdef Q_OS_UNIX
                if (::access(QFile::encodeName(device_file(port_)).constData(), R_OK | W_OK) != 0) {
                    reason = QStringLiteral("Cannot open serial port %1: permission denied. Add your user to the dialout group "
                                            "(sudo usermod -aG dialout $USER) and log in again.").arg(port_);
                    break;
                }
#endif
                reason = QStringLiteral("Cannot open serial port %1: it is busy; another program is using it.").arg(port_);
                break;
            default:
                reason = QStringLiteral("Cannot open serial port %1: %2.").arg(port_, lower_first(serial_->errorString()));
                break;
        }
    }
    serial_->close();
    if (!retry_.isActive()) retry_.start();
    // Said once per cause: the retry every 2 s repeats nothing the user has already read.
    if (reason == last_failure_) return;
    last_failure_ = reason;
    if (state_ == State::Lost) {
        emit message(reason + QStringLiteral(" Retrying every 2 s."));
        return;
    }
    set_state(State::Retrying, reason + QStringLiteral(" Retrying every 2 s."));
}

void SerialLink::on_ready_read() {
    if (!serial_) return;
    const QByteArray chunk = serial_->readAll();
    if (chunk.isEmpty()) {
        // Readable with nothing to read: the far side hung up, as on an unplug.
        lose(QStringLiteral("the device hung up"));
        return;
    }
    bytes_received_ += static_cast<quint64>(chunk.size());
    emit received(chunk);
}

void SerialLink::on_error(int error) {
    if (state_ != State::Open || !serial_) return;  // failures to open are reported by try_open
    switch (static_cast<QSerialPort::SerialPortError>(error)) {
        case QSerialPort::NoError:
        case QSerialPort::TimeoutError:
            return;
        case QSerialPort::WriteError:
            emit message(QStringLiteral("Writing to serial port %1 failed: %2.").arg(port_, lower_first(serial_->errorString())));
            return;
        default:
            // A pulled adapter reports ResourceError over and over while the port stays open.
            lose(lower_first(serial_->errorString()));
            return;
    }
}

void SerialLink::check_hang_up() {
#ifdef Q_OS_UNIX
    if (state_ != State::Open || !serial_) return;
    pollfd fd{static_cast<int>(serial_->handle()), POLLIN, 0};
    if (::poll(&fd, 1, 0) == 1 && (fd.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        if (serial_->bytesAvailable() > 0 || (fd.revents & POLLIN)) on_ready_read();
        if (state_ == State::Open) lose(QStringLiteral("the device hung up"));
    }
#endif
}

void SerialLink::lose(const QString& reason) {
    hang_up_check_.stop();
    if (serial_) {
        serial_->disconnect(this);
        serial_->close();
        serial_->deleteLater();  // this may run inside one of its own signals
        serial_ = nullptr;
    }
    last_failure_.clear();
    set_state(State::Lost, QStringLiteral("Lost serial port %1: %2. Retrying every 2 s; the panel keeps its state.")
                               .arg(port_, reason));
    retry_.start();
}

void SerialLink::set_state(State state, const QString& sentence) {
    state_ = state;
    emit state_changed(state);
    emit message(sentence);
}

bool SerialLink::send(const ControlMessage& m) {
    if (state_ != State::Open || !serial_) {
        emit message(QStringLiteral("Nothing was sent: the board is not connected (serial port %1 is not open).").arg(port_));
        return false;
    }
    const char bytes[2] = {static_cast<char>(m[0]), static_cast<char>(m[1])};
    if (serial_->write(bytes, 2) != 2) {
        emit message(QStringLiteral("Nothing was sent: writing to serial port %1 failed: %2.")
                         .arg(port_, lower_first(serial_->errorString())));
        return false;
    }
    return true;
}

}  // namespace sensor
