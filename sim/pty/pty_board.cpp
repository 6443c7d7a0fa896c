#include "sim/pty/pty_board.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "link/control_byte.h"
#include "sim/board_model.h"

namespace sensor {
namespace {

constexpr int kPacingMs = 10;
// Frames made at once when flooding, and the most a paced tick makes after a long stall.
constexpr std::uint64_t kFloodBatch = 256;
constexpr std::uint64_t kMostFramesPerTick = 4096;

QString errno_text() { return QString::fromLocal8Bit(std::strerror(errno)); }

}  // namespace

struct PtyBoard::Impl {
    PtyBoard* self;
    PtyBoardOptions options;
    BoardModel model;
    int master = -1;
    int slave = -1;  // held so the master never reads a hang-up while no panel has the port open
    QString path;
    QString link_path;
    QSocketNotifier* reader = nullptr;
    QSocketNotifier* writer = nullptr;
    QTimer* pacer = nullptr;
    QElapsedTimer clock;
    std::uint64_t frames_due_so_far = 0;

    // Whole frames waiting to go out; sent_in_out bytes of them are already written.
    std::vector<std::uint8_t> out;
    std::size_t sent_in_out = 0;
    std::uint64_t bytes_written = 0;

    bool have_message_byte = false;
    std::uint8_t message_last = 0;
    std::uint8_t control = kControlByteStart;
    bool write_failed = false;

    Impl(PtyBoard* board, PtyBoardOptions o) : self(board), options(o), model(o.seed) {}

    void queue_frames(std::uint64_t n) {
        for (std::uint64_t i = 0; i < n; ++i) {
            const EncodedFrame f = encode_frame(model.next_frame());
            out.insert(out.end(), f.begin(), f.end());
        }
    }

    // Writes what the master takes; true when everything queued went out.
    bool flush() {
        while (sent_in_out < out.size()) {
            const ssize_t n = ::write(master, out.data() + sent_in_out, out.size() - sent_in_out);
            if (n > 0) {
                sent_in_out += static_cast<std::size_t>(n);
                bytes_written += static_cast<std::uint64_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                if (n < 0 && errno != EAGAIN && !write_failed) {
                    write_failed = true;
                    qWarning("Cannot write to pseudo-terminal %s: %s.", qPrintable(path), qPrintable(errno_text()));
                }
                return false;
            }
        }
        out.clear();
        sent_in_out = 0;
        return true;
    }

    // A board on a line nobody reads keeps measuring: frames the line has no room for are lost,
    // except the one already started, which goes first next time so no frame arrives broken.
    void drop_unstarted_frames() {
        const std::size_t started_end = (sent_in_out + kFrameLength - 1) / kFrameLength * kFrameLength;
        out.resize(started_end);
    }

    void on_pacer() {
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        const auto due = static_cast<std::uint64_t>(std::floor(seconds * options.bytes_per_second / kFrameLength));
        const std::uint64_t fresh = due - std::min(due, frames_due_so_far);
        frames_due_so_far = std::max(due, frames_due_so_far);
        if (!flush()) {
            drop_unstarted_frames();
            return;
        }
        queue_frames(std::min(fresh, kMostFramesPerTick));
        if (!flush()) drop_unstarted_frames();
    }

    // Flooding returns to the event loop after each batch so commands are still read, and waits
    // for the master to be writable again instead of spinning when it is full.
    void on_writable() {
        if (flush()) {
            queue_frames(kFloodBatch);
            if (flush()) return;  // stays enabled: the loop comes back here for the next batch
        }
        if (write_failed) writer->setEnabled(false);
    }

    void on_readable() {
        std::uint8_t buffer[256];
        for (;;) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0) {
                for (ssize_t i = 0; i < n; ++i) take_message_byte(buffer[i]);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n == 0 || errno != EAGAIN) reader->setEnabled(false);
            return;
        }
    }

    // A message is any run of bytes ended by a zero; the byte before the zero is the command.
    void take_message_byte(std::uint8_t ch) {
        if (ch != 0) {
            message_last = ch;
            have_message_byte = true;
            return;
        }
        if (!have_message_byte) return;
        have_message_byte = false;
        control = message_last;
        model.apply_command(message_last);
        emit self->command_received(message_last);
    }

    void close_all() {
        delete reader;
        reader = nullptr;
        delete writer;
        writer = nullptr;
        delete pacer;
        pacer = nullptr;
        if (master >= 0) ::close(master);
        if (slave >= 0) ::close(slave);
        master = slave = -1;
    }
};

PtyBoard::PtyBoard(PtyBoardOptions options, QObject* parent)
    : QObject(parent), impl_(std::make_unique<Impl>(this, options)) {}

PtyBoard::~PtyBoard() { stop(); }

bool PtyBoard::start(QString* error) {
    Impl& d = *impl_;
    if (d.master >= 0) return true;
    if (!d.options.flood && !(d.options.bytes_per_second > 0)) {
        if (error) *error = QStringLiteral("Cannot start the simulated board: the rate must be above 0 bytes a second.");
        return false;
    }
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (::openpty(&d.master, &d.slave, name, &raw, nullptr) != 0) {
        if (error) *error = QStringLiteral("Cannot open a pseudo-terminal: %1.").arg(errno_text());
        d.master = d.slave = -1;
        return false;
    }
    ::fcntl(d.master, F_SETFL, ::fcntl(d.master, F_GETFL) | O_NONBLOCK);
    ::fcntl(d.master, F_SETFD, FD_CLOEXEC);
    ::fcntl(d.slave, F_SETFD, FD_CLOEXEC);
    d.path = QString::fromLocal8Bit(name);

    d.reader = new QSocketNotifier(d.master, QSocketNotifier::Read, this);
    connect(d.reader, &QSocketNotifier::activated, this, [&d] { d.on_readable(); });
    if (d.options.flood) {
        d.writer = new QSocketNotifier(d.master, QSocketNotifier::Write, this);
        connect(d.writer, &QSocketNotifier::activated, this, [&d] { d.on_writable(); });
    } else {
        d.pacer = new QTimer(this);
        d.pacer->setTimerType(Qt::PreciseTimer);
        connect(d.pacer, &QTimer::timeout, this, [&d] { d.on_pacer(); });
        d.pacer->start(kPacingMs);
        d.clock.start();
        d.frames_due_so_far = 0;
    }
    return true;
}

void PtyBoard::stop() {
    Impl& d = *impl_;
    if (!d.link_path.isEmpty()) {
        // Only our own link goes; someone may have pointed the name elsewhere since.
        if (QFile::symLinkTarget(d.link_path) == d.path)
            ::unlink(QFile::encodeName(d.link_path).constData());
        d.link_path.clear();
    }
    d.close_all();
}

QString PtyBoard::device_path() const { return impl_->path; }

bool PtyBoard::make_link(const QString& path, QString* error) {
    Impl& d = *impl_;
    if (d.path.isEmpty()) {
        if (error) *error = QStringLiteral("Cannot make the link %1: the simulated board is not started.").arg(path);
        return false;
    }
    const QByteArray where = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(where.constData(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            if (error) *error = QStringLiteral("Cannot make the link %1: something other than a link is there.").arg(path);
            return false;
        }
        ::unlink(where.constData());
    }
    if (::symlink(QFile::encodeName(d.path).constData(), where.constData()) != 0) {
        if (error) *error = QStringLiteral("Cannot make the link %1: %2.").arg(path, errno_text());
        return false;
    }
    d.link_path = path;
    return true;
}

std::uint64_t PtyBoard::frames_sent() const { return impl_->bytes_written / kFrameLength; }

std::uint8_t PtyBoard::control_byte() const { return impl_->control; }

}  // namespace sensor
