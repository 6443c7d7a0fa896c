#include "io/win32_serial_link.h"

#include <QStringList>
#include <QWinEventNotifier>

#include <windows.h>

#include <algorithm>

#include "io/port_list.h"
#include "io/reason_text.h"
#include "link/port_name.h"
#include "link/port_one.h"
#include "link/win32_error.h"

namespace sensor {
namespace {

// Measured on Windows and under Wine alike: a read ends 20 ms after the last byte, or after
// 700 ms of silence (Windows: no bytes; Wine: ERROR_COUNTER_TIMEOUT). Longer reads would let
// Wine hold bytes back; shorter ones only wake the panel more often while the board is quiet.
constexpr DWORD kReadIntervalMs = 20;
constexpr DWORD kReadQuietMs = 700;
// Two bytes at 19200 baud take a millisecond; a write that cannot go out in this time has failed.
constexpr DWORD kWriteTimeoutMs = 500;
// What one paced read takes from the driver at most; the rest is read on in the next wake.
constexpr DWORD kMostPerRead = 64 * 1024;
// The driver's input buffer: several seconds of the line, for a panel that stalls a moment.
constexpr DWORD kInputBuffer = 16 * 1024;
// A cancelled read ends at once; this only guards against a driver that never ends it.
constexpr DWORD kCancelWaitMs = 1000;

QString system_reason(DWORD code) { return reason_text(qt_error_string(static_cast<int>(code)).trimmed()); }

std::string present_ports() {
    QStringList labels;
    for (const PortInfo& port : PortList::system_ports()) labels << port.label();
    return labels.join(QStringLiteral(", ")).toStdString();
}

}  // namespace

struct Win32SerialLink::Device {
    Device() {
        read_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        write_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~Device() {
        if (read_event) CloseHandle(read_event);
        if (write_event) CloseHandle(write_event);
    }
    bool is_open() const { return handle != INVALID_HANDLE_VALUE; }

    HANDLE handle = INVALID_HANDLE_VALUE;
    HANDLE read_event = nullptr;  // set when the one-byte read ends
    HANDLE write_event = nullptr;
    OVERLAPPED wait{};
    bool waiting = false;  // the one-byte read is pending
    char first = 0;        // where it puts its byte; lives as long as the link
};

Win32SerialLink::Win32SerialLink(const QString& port, QObject* parent)
    : BoardConnection(parent),
      port_(port.isEmpty() ? default_port() : port),
      policy_(port_.toStdString()),
      device_(std::make_unique<Device>()) {
    clock_.start();
    byte_came_ = new QWinEventNotifier(device_->read_event, this);
    byte_came_->setEnabled(false);
    connect(byte_came_, &QWinEventNotifier::activated, this, &Win32SerialLink::on_wait_ended);
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &Win32SerialLink::try_open);
    read_due_.setSingleShot(true);
    read_due_.setTimerType(Qt::PreciseTimer);
    connect(&read_due_, &QTimer::timeout, this, &Win32SerialLink::read_now);
}

Win32SerialLink::~Win32SerialLink() { close(); }

QString Win32SerialLink::default_port() { return QString::fromLatin1(kPortOne); }

void Win32SerialLink::open() {
    if (state() == State::Open) return;
    apply(policy_.open_requested(now_ms()));
    try_open();
}

void Win32SerialLink::close() {
    retry_.stop();
    drop_device();
    apply(policy_.closed());
}

void Win32SerialLink::switch_to(const QString& port) {
    close();
    port_ = port.isEmpty() ? default_port() : port;
    ports_said_.clear();
    policy_.switch_port(port_.toStdString());
    open();
}

void Win32SerialLink::apply(const LinkPolicy::Step& step) {
    if (step.state_changed) emit state_changed(state());
    if (step.sentence) emit message(QString::fromStdString(*step.sentence));
}

void Win32SerialLink::schedule_retry() {
    retry_.start(static_cast<int>(std::max<std::int64_t>(0, policy_.next_retry_ms() - now_ms())));
}

void Win32SerialLink::drop_device() {
    read_due_.stop();
    byte_came_->setEnabled(false);
    Device& d = *device_;
    if (!d.is_open()) return;
    if (d.waiting) {
        CancelIoEx(d.handle, &d.wait);
        WaitForSingleObject(d.read_event, kCancelWaitMs);
        d.waiting = false;
    }
    CloseHandle(d.handle);
    d.handle = INVALID_HANDLE_VALUE;
    ResetEvent(d.read_event);
}

void Win32SerialLink::try_open() {
    Device& d = *device_;
    const std::wstring path = QString::fromStdString(port_device_path(port_.toStdString(), PortSystem::Windows)).toStdWString();
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED, nullptr);
    OpenFailure failure = OpenFailure::Other;
    std::string detail;
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        failure = open_failure_of_win32_error(code);
        if (failure == OpenFailure::NoSuchDevice) {
            // A retry that fails the same way says the list it said before.
            if (ports_said_.empty()) ports_said_ = present_ports();
            detail = ports_said_;
        } else if (failure == OpenFailure::Other) {
            detail = system_reason(code).toStdString();
        }
        apply(policy_.open_failed(now_ms(), failure, detail));
        schedule_retry();
        return;
    }

    // The line's fixed settings: 19200 N 8 1, no handshaking, every byte kept (zero ends a
    // frame), a line error no reason to stop reading; DTR and RTS off, as the serial control the
    // panel follows leaves them.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    bool settings_refused = false;
    DWORD code = 0;
    if (GetFileType(handle) != FILE_TYPE_CHAR || !GetCommState(handle, &dcb)) {
        failure = OpenFailure::NotASerialDevice;
    } else {
        dcb.BaudRate = CBR_19200;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = TRUE;
        dcb.fParity = FALSE;
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fTXContinueOnXoff = TRUE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fErrorChar = FALSE;
        dcb.fNull = FALSE;
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        dcb.fAbortOnError = FALSE;
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = kReadIntervalMs;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = kReadQuietMs;
        timeouts.WriteTotalTimeoutMultiplier = 0;
        timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
        if (!SetCommState(handle, &dcb) || !SetCommTimeouts(handle, &timeouts)) {
            settings_refused = true;
            code = GetLastError();
        }
    }
    if (failure == OpenFailure::NotASerialDevice || settings_refused) {
        CloseHandle(handle);
        if (settings_refused) detail = "the line settings 19200 8N1 were refused (" + system_reason(code).toStdString() + ")";
        apply(policy_.open_failed(now_ms(), failure, detail));
        schedule_retry();
        return;
    }
    // Only a recommendation to the driver; its own size does as well.
    SetupComm(handle, kInputBuffer, kInputBuffer);
    // Bytes left in the driver from before the open would otherwise arrive first.
    PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);

    d.handle = handle;
    pace_.reset();
    ports_said_.clear();
    apply(policy_.opened(now_ms()));
    if (state() == State::Open && d.is_open()) wait_for_byte();
}

// One byte asked for: the read ends when the board speaks, when the line goes away, or after a
// quiet spell. The event loop is told through the read's event; nothing polls.
void Win32SerialLink::wait_for_byte() {
    Device& d = *device_;
    if (!d.is_open() || d.waiting) return;
    d.wait = OVERLAPPED{};
    d.wait.hEvent = d.read_event;
    if (!ReadFile(d.handle, &d.first, 1, nullptr, &d.wait)) {
        const DWORD code = GetLastError();
        if (code != ERROR_IO_PENDING) {
            if (read_failed(code)) return;
            // Timed out before it began: asked again after a pace interval rather than at once.
            QTimer::singleShot(ReadPace::kPaceMs, this, [this] {
                if (state() == State::Open) wait_for_byte();
            });
            return;
        }
    }
    d.waiting = true;
    byte_came_->setEnabled(true);
}

void Win32SerialLink::on_wait_ended() {
    byte_came_->setEnabled(false);
    Device& d = *device_;
    if (!d.is_open() || !d.waiting) return;
    DWORD got = 0;
    const BOOL ok = GetOverlappedResult(d.handle, &d.wait, &got, FALSE);
    const DWORD code = ok ? 0 : GetLastError();
    if (!ok && code == ERROR_IO_INCOMPLETE) {
        byte_came_->setEnabled(true);
        return;
    }
    d.waiting = false;
    ResetEvent(d.read_event);
    if (ok && got == 1) {
        if (pace_.backlog()) {
            read_now();
        } else if (!read_due_.isActive()) {
            read_due_.start(static_cast<int>(pace_.wait_ms(now_ms())));
        }
        return;
    }
    if (!ok && read_failed(code)) return;
    // A quiet spell: Windows ends the read without an error even when the device has gone, so
    // the line itself is asked.
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(d.handle, &errors, &status) && read_failed(GetLastError())) return;
    wait_for_byte();
}

// The byte that woke the link and everything the driver holds after it, in arrival order, handed
// on as one chunk. A failure met on the way is acted on after the bytes that came before it.
void Win32SerialLink::read_now() {
    read_due_.stop();
    Device& d = *device_;
    if (!d.is_open()) return;
    const std::int64_t started = now_ms();
    QByteArray chunk(1, d.first);
    DWORD failure = 0;
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(d.handle, &errors, &status)) {
        failure = GetLastError();
    } else if (const DWORD waiting = std::min(status.cbInQue, kMostPerRead); waiting > 0) {
        chunk.resize(1 + static_cast<qsizetype>(waiting));
        OVERLAPPED rest{};
        rest.hEvent = d.read_event;
        DWORD got = 0;
        // The bytes are in the driver already, so the read ends at once.
        BOOL ok = ReadFile(d.handle, chunk.data() + 1, waiting, &got, &rest);
        if (!ok && GetLastError() == ERROR_IO_PENDING) ok = GetOverlappedResult(d.handle, &rest, &got, TRUE);
        if (!ok) failure = GetLastError();
        ResetEvent(d.read_event);
        chunk.resize(1 + static_cast<qsizetype>(got));
    }
    pace_.read(started, chunk.size());
    hand_on(chunk);
    // The panel may have closed or moved the link on the bytes just handed on.
    if (!d.is_open() || state() != State::Open) return;
    if (failure != 0 && read_failed(failure)) return;
    wait_for_byte();
}

void Win32SerialLink::hand_on(const QByteArray& chunk) {
    if (chunk.isEmpty()) return;
    apply(policy_.read(now_ms(), static_cast<std::size_t>(chunk.size())));
    emit received(chunk);
}

bool Win32SerialLink::read_failed(unsigned long code) {
    switch (read_failure_of_win32_error(code)) {
        case Win32ReadFailure::NoDataYet: return false;
        case Win32ReadFailure::Unplugged: lose(LossCause::Unplugged); return true;
        case Win32ReadFailure::Other: lose(LossCause::ReadError, system_reason(code)); return true;
    }
    return false;
}

void Win32SerialLink::lose(LossCause cause, const QString& detail) {
    drop_device();
    apply(policy_.lost(now_ms(), cause, detail.toStdString()));
    schedule_retry();
}

bool Win32SerialLink::write_message(const ControlMessage& m) {
    // While the port is not open the panel says what becomes of the click.
    Device& d = *device_;
    if (state() != State::Open || !d.is_open()) return false;
    const char bytes[2] = {static_cast<char>(m[0]), static_cast<char>(m[1])};
    OVERLAPPED write{};
    write.hEvent = d.write_event;
    DWORD put = 0;
    // Written now, so a port that has just gone away fails at the click; the write timeout bounds
    // the wait.
    BOOL ok = WriteFile(d.handle, bytes, sizeof bytes, &put, &write);
    if (!ok && GetLastError() == ERROR_IO_PENDING) ok = GetOverlappedResult(d.handle, &write, &put, TRUE);
    if (ok && put == sizeof bytes) return true;
    const QString why = ok ? QStringLiteral("the line took nothing for %1 ms").arg(kWriteTimeoutMs) : system_reason(GetLastError());
    emit message(QStringLiteral("Nothing was sent: writing to serial port %1 failed: %2.").arg(port_, why));
    return false;
}

}  // namespace sensor
