#include "io/serial_link.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QStringList>

#include "link/port_one.h"
#include "io/reason_text.h"

#ifdef Q_OS_UNIX
#include <poll.h>
#include <unistd.h>
#endif

namespace sensor {
namespace {

// Qt SerialPort 6.4 can stop reading without an error when the far side hangs up, so an open port
// is also asked directly, twice a second, whether the line is still there.
constexpr int kHangUpCheckMs = 500;

// What one paced read takes from the driver at most; a flood is read on in the next wake.
constexpr qsizetype kMostPerRead = 64 * 1024;
#ifdef Q_OS_UNIX
// Where the driver can be asked whether bytes wait, reads are paced.
constexpr bool kPaced = true;
#else
constexpr bool kPaced = false;
#endif

std::string available_ports() {
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        QString name = info.systemLocation();
        if (!info.description().isEmpty()) name += " (" + info.description() + ")";
        names << name;
    }
    return names.join(", ").toStdString();
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
    : BoardConnection(parent), port_(port.isEmpty() ? default_port() : port), policy_(port_.toStdString()) {
    clock_.start();
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &SerialLink::try_open);
    hang_up_check_.setInterval(kHangUpCheckMs);
    connect(&hang_up_check_, &QTimer::timeout, this, &SerialLink::check_hang_up);
    read_due_.setSingleShot(true);
    read_due_.setTimerType(Qt::PreciseTimer);
    connect(&read_due_, &QTimer::timeout, this, &SerialLink::read_now);
}

SerialLink::~SerialLink() { close(); }

QString SerialLink::default_port() { return QString::fromLatin1(kPortOne); }

void SerialLink::open() {
    if (state() == State::Open) return;
    apply(policy_.open_requested(now_ms()));
    try_open();
}

void SerialLink::drop_port() {
    hang_up_check_.stop();
    read_due_.stop();
    if (!serial_) return;
    serial_->disconnect(this);
    serial_->close();
    serial_->deleteLater();  // this may run inside one of its own signals
    serial_ = nullptr;
}

void SerialLink::close() {
    retry_.stop();
    drop_port();
    apply(policy_.closed());
}

void SerialLink::switch_to(const QString& port) {
    close();
    port_ = port.isEmpty() ? default_port() : port;
    ports_said_.clear();
    policy_.switch_port(port_.toStdString());
    open();
}

void SerialLink::apply(const LinkPolicy::Step& step) {
    if (step.state_changed) emit state_changed(state());
    if (step.sentence) emit message(QString::fromStdString(*step.sentence));
}

void SerialLink::schedule_retry() {
    retry_.start(static_cast<int>(std::max<std::int64_t>(0, policy_.next_retry_ms() - now_ms())));
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

    const bool serial_device = is_serial_device(port_);
    if (serial_device && serial_->open(QIODevice::ReadWrite)) {
        // DTR and RTS off, as the serial control the panel follows leaves them (the system raises
        // both on open). A pseudo-terminal has no such lines and refuses: nothing to tell.
        serial_->setDataTerminalReady(false);
        serial_->setRequestToSend(false);
        serial_->clearError();
        // Bytes left in the driver from before the open would otherwise arrive first.
        serial_->clear(QSerialPort::Input);
        // A full one-byte buffer stops Qt from reading on: the first byte wakes the link, the
        // rest wait in the driver until the read is due.
        if (kPaced) serial_->setReadBufferSize(1);
        pace_.reset();
        hang_up_check_.start();
        ports_said_.clear();
        apply(policy_.opened(now_ms()));
        return;
    }

    OpenFailure failure = OpenFailure::Other;
    std::string detail;
    if (!serial_device) {
        failure = OpenFailure::NotASerialDevice;
    } else {
        switch (serial_->error()) {
            case QSerialPort::DeviceNotFoundError:
                failure = OpenFailure::NoSuchDevice;
                // Listing the ports reads thousands of files; a retry that fails the same way
                // says the list it said before rather than read them every 2 s.
                if (ports_said_.empty()) ports_said_ = available_ports();
                detail = ports_said_;
                break;
            case QSerialPort::PermissionError:
                failure = OpenFailure::Busy;
#ifdef Q_OS_UNIX
                // Qt says "permission" for a port another program holds locked, too.
                if (::access(QFile::encodeName(device_file(port_)).constData(), R_OK | W_OK) != 0) {
                    failure = OpenFailure::PermissionDenied;
                    detail = QFileInfo(device_file(port_)).group().toStdString();
                }
#endif
                break;
            default:
                detail = reason_text(serial_->errorString()).toStdString();
                break;
        }
    }
    serial_->close();
    apply(policy_.open_failed(now_ms(), failure, detail));
    schedule_retry();
}

void SerialLink::on_ready_read() {
    if (!serial_ || reading_) return;
    if (!kPaced || pace_.backlog()) {
        read_now();
        return;
    }
    if (!read_due_.isActive()) read_due_.start(static_cast<int>(pace_.wait_ms(now_ms())));
}

bool SerialLink::input_waiting() const {
#ifdef Q_OS_UNIX
    pollfd fd{static_cast<int>(serial_->handle()), POLLIN, 0};
    return ::poll(&fd, 1, 0) == 1 && (fd.revents & POLLIN);
#else
    return false;
#endif
}

// Everything the driver holds, in arrival order, handed on as one chunk. A failure Qt reports
// meanwhile is acted on after the bytes that came before it.
void SerialLink::read_now() {
    read_due_.stop();
    if (!serial_) return;
    const std::int64_t started = now_ms();
    reading_ = true;
    QByteArray chunk = serial_->readAll();
    if (kPaced && !pace_.backlog()) {
        serial_->setReadBufferSize(0);
        while (chunk.size() < kMostPerRead && !error_while_reading_ && input_waiting() && serial_->waitForReadyRead(0))
            chunk += serial_->readAll();
    }
    reading_ = false;
    if (kPaced) {
        pace_.read(started, chunk.size());
        // Out of a backlog, the one-byte buffer stops Qt reading on again.
        if (!pace_.backlog() && serial_) serial_->setReadBufferSize(1);
    }
    hand_on(chunk);
    if (error_while_reading_) {
        const int error = *error_while_reading_;
        error_while_reading_.reset();
        on_error(error);
    }
}

void SerialLink::hand_on(const QByteArray& chunk) {
    const LinkPolicy::Step step = policy_.read(now_ms(), static_cast<std::size_t>(chunk.size()));
    if (policy_.state() != State::Open) {
        drop_port();
        apply(step);
        schedule_retry();
        return;
    }
    bytes_received_ += static_cast<quint64>(chunk.size());
    emit received(chunk);
}

void SerialLink::on_error(int error) {
    if (state() != State::Open || !serial_) return;  // failures to open are reported by try_open
    if (reading_) {
        if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError) error_while_reading_ = error;
        return;
    }
    switch (static_cast<QSerialPort::SerialPortError>(error)) {
        case QSerialPort::NoError:
        case QSerialPort::TimeoutError:
        case QSerialPort::WriteError:  // said by send(), where the click is
            return;
        case QSerialPort::ResourceError:
            // A pulled adapter reports ResourceError over and over while the port stays open.
            lose(LossCause::Unplugged);
            return;
        default:
            lose(LossCause::ReadError, reason_text(serial_->errorString()));
            return;
    }
}

void SerialLink::check_hang_up() {
#ifdef Q_OS_UNIX
    if (state() != State::Open || !serial_) return;
    pollfd fd{static_cast<int>(serial_->handle()), POLLIN, 0};
    if (::poll(&fd, 1, 0) == 1 && (fd.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        // What arrived before the hang-up is handed on first.
        if (serial_->bytesAvailable() > 0 || (fd.revents & POLLIN)) read_now();
        if (state() == State::Open) lose(LossCause::Unplugged);
    }
#endif
}

void SerialLink::lose(LossCause cause, const QString& detail) {
    drop_port();
    apply(policy_.lost(now_ms(), cause, detail.toStdString()));
    schedule_retry();
}

bool SerialLink::write_message(const ControlMessage& m) {
    // While the port is not open the panel says what becomes of the click.
    if (state() != State::Open || !serial_) return false;
    const char bytes[2] = {static_cast<char>(m[0]), static_cast<char>(m[1])};
    // Written and flushed now, so a port that has just gone away fails at the click, not later.
    if (serial_->write(bytes, 2) != 2 || !serial_->flush()) {
        emit message(QStringLiteral("Nothing was sent: writing to serial port %1 failed: %2.")
                         .arg(port_, reason_text(serial_->errorString())));
        return false;
    }
    return true;
}

}  // namespace sensor
