#include "io/replay_source.h"

#include <QFileInfo>

#include <cmath>
#include <cstring>
#include <span>

#include "io/reason_text.h"
#include "recording/recorded_time.h"

namespace sensor {
namespace {

// Short enough that even ¼× hands over a few bytes of a raw capture at a time, as a port would;
// how much goes out is worked out from the elapsed time, so late ticks cost no bytes.
constexpr int kTickMs = 10;
// In a recorded stall nothing is due for a while; the progress still moves this often.
constexpr qint64 kProgressMs = 250;
constexpr qint64 kReadBytes = 64 * 1024;

std::span<const std::uint8_t> byte_span(const QByteArray& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())};
}

}  // namespace

ReplaySource::ReplaySource(const QString& path, QObject* parent) : BoardConnection(parent), path_(path) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &ReplaySource::play);
    clock_.start();
}

ReplaySource::~ReplaySource() {
    timer_.stop();
    file_.close();
}

QString ReplaySource::description() const {
    return QStringLiteral("replay of %1").arg(QFileInfo(path_).fileName());
}

std::optional<RecordingHeader> ReplaySource::header() const {
    if (!timed()) return std::nullopt;
    return header_;
}

void ReplaySource::open() {
    if (state_ == State::Open) return;
    const QFileInfo info(path_);
    QString refusal;
    if (!info.exists()) {
        refusal = QStringLiteral("no such file");
    } else if (info.isDir()) {
        refusal = QStringLiteral("it is a folder, not a capture file");
    } else {
        file_.setFileName(path_);
        // Unbuffered: a look at the magic must not hold bytes that a file cut under the replay has lost.
        if (!file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            refusal = reason_text(file_.errorString());
        } else if (file_.isSequential()) {
            // A pipe or a device has no length, so there is nothing to pace against or restart.
            refusal = QStringLiteral("it is not a regular file");
        } else if (file_.size() == 0) {
            refusal = QStringLiteral("the file is empty");
        }
    }
    if (!refusal.isEmpty()) refusal = QStringLiteral("Cannot replay %1: %2.").arg(path_, refusal);

    QString cut;
    if (refusal.isEmpty()) {
        const QByteArray head = file_.read(static_cast<qint64>(kRecordingMagic.size()));
        file_.seek(0);
        const bool magic = head.size() == static_cast<qsizetype>(kRecordingMagic.size()) &&
                           std::memcmp(head.constData(), kRecordingMagic.data(), kRecordingMagic.size()) == 0;
        format_ = magic ? RecordingFormat::Timed : RecordingFormat::Raw;
        pace_.set_by_bytes(!magic);
        if (magic) {
            open_timed(&refusal, &cut);
        } else {
            size_ = file_.size();
            total_us_ = line_place_us(size_ - 1);
        }
    }
    if (!refusal.isEmpty()) {
        file_.close();
        format_ = RecordingFormat::Undecided;
        emit message(refusal);
        return;
    }
    told_about_commands_ = false;
    if (!cut.isEmpty()) emit message(cut);
    rewind();
    set_state(State::Open);
    schedule();
}

// Reads the whole recording once: how many bytes and how long it holds, and whether it was cut.
bool ReplaySource::open_timed(QString* refusal, QString* cut) {
    RecordingReader scan;
    Record record;
    qint64 received = 0;
    for (;;) {
        const QByteArray more = file_.read(16 * kReadBytes);
        if (more.isEmpty()) break;
        scan.feed(byte_span(more));
        while (scan.next(record))
            if (record.kind == RecordKind::Received) received += static_cast<qint64>(record.bytes.size());
    }
    if (file_.error() != QFileDevice::NoError) {
        *refusal = QStringLiteral("Cannot replay %1: %2.").arg(path_, reason_text(file_.errorString()));
        return false;
    }
    scan.finish();
    while (scan.next(record))
        if (record.kind == RecordKind::Received) received += static_cast<qint64>(record.bytes.size());
    const QString trouble = QString::fromStdString(scan.trouble(path_.toStdString()));
    if (scan.refused() || !scan.header_read()) {
        *refusal = trouble;
        return false;
    }
    if (received == 0) {
        *refusal = QStringLiteral("Cannot replay %1: it holds no bytes from the board.").arg(path_);
        return false;
    }
    header_ = scan.header();
    size_ = received;
    total_us_ = scan.last_us();
    *cut = trouble;
    return true;
}

void ReplaySource::close() {
    timer_.stop();
    file_.close();
    ++generation_;
    position_ = 0;
    set_state(State::Closed);
}

bool ReplaySource::send(const ControlMessage&) {
    if (state_ != State::Open) {
        emit message(QStringLiteral("Commands go to no board: the replay of %1 is closed.").arg(path_));
        return false;
    }
    if (!told_about_commands_) {
        told_about_commands_ = true;
        emit message(QStringLiteral("Commands go to no board during a replay; the panel alone follows them."));
    }
    return true;
}

double ReplaySource::played_seconds() const {
    if (!timed()) return static_cast<double>(position_) / kLineRate;
    if (ended_) return total_seconds();
    // In a recorded stall the clock moves on while nothing is handed over.
    const qint64 played = pace_.fastest() && !pace_.paused() ? played_us_ : std::clamp<qint64>(pace_.played_us(now_us()), played_us_, total_us_);
    return static_cast<double>(played) / 1e6;
}

double ReplaySource::total_seconds() const {
    return timed() ? static_cast<double>(total_us_) / 1e6 : static_cast<double>(size_) / kLineRate;
}

ReplayProgress ReplaySource::progress() const {
    ReplayProgress p;
    p.position = position_;
    p.size = size_;
    p.played_seconds = played_seconds();
    p.total_seconds = total_seconds();
    p.timed = timed();
    p.speed = pace_.speed();
    p.paused = pace_.paused();
    p.ended = at_end();
    return p;
}

void ReplaySource::pause() {
    pace_.pause(now_us());
    timer_.stop();
    emit progress_changed();
}

void ReplaySource::resume() {
    if (!pace_.paused()) return;
    pace_.resume(now_us());
    schedule();
    emit progress_changed();
}

// The last byte was handed over. The state stays Open, so restart() can play it again.
void ReplaySource::finish(bool say) {
    timer_.stop();
    ended_ = true;
    if (say) emit message(QStringLiteral("The replay of %1 reached its end. File > Restart replay plays it again.").arg(path_));
    emit progress_changed();
    emit finished();
}

// Back to the first byte, with the pace counting from now.
void ReplaySource::rewind() {
    file_.seek(0);
    reader_ = RecordingReader();
    has_next_ = false;
    read_to_end_ = false;
    position_ = 0;
    played_us_ = 0;
    ended_ = false;
    ++generation_;
    pace_.start(now_us(), 0);
}

void ReplaySource::restart() {
    if (state_ != State::Open) {
        open();
        return;
    }
    rewind();
    emit progress_changed();
    schedule();
}

bool ReplaySource::set_speed(double speed) {
    if (!pace_.set_speed(speed, now_us())) return false;
    schedule();
    emit progress_changed();
    return true;
}

void ReplaySource::set_state(State state) {
    if (state_ == state) return;
    state_ = state;
    emit state_changed(state_);
}

void ReplaySource::schedule() {
    if (state_ != State::Open || pace_.paused() || ended_) {
        timer_.stop();
        return;
    }
    // A zero timer fires once per event-loop turn, after the events waiting, so the window stays live.
    if (pace_.fastest() || (timed() && !has_next_)) {
        timer_.start(0);
    } else if (!timed()) {
        timer_.start(kTickMs);
    } else {
        const qint64 now = now_us();
        const qint64 wait_ms = (pace_.due_at(next_.us, now) - now + 999) / 1000;
        timer_.start(static_cast<int>(std::clamp<qint64>(wait_ms, 0, kProgressMs)));
    }
}

void ReplaySource::play() {
    if (state_ != State::Open || pace_.paused() || ended_) {
        timer_.stop();
        return;
    }
    timed() ? play_timed() : play_raw();
}

void ReplaySource::play_raw() {
    qint64 due = std::min(size_, position_ + kChunkBytes);
    if (!pace_.fastest()) due = std::min<qint64>(due, pace_.raw_bytes_due(now_us()));
    if (due <= position_) return;

    const QByteArray chunk = file_.read(due - position_);
    bool cut = false;  // the end is said by the sentence about the cut
    if (chunk.size() < due - position_) {
        // The file was cut or failed under the replay: what could be read is the end of it.
        const qint64 end = position_ + chunk.size();
        emit message(file_.error() != QFileDevice::NoError
                         ? QStringLiteral("Cannot read %1 past byte %2: %3; the replay ends there.")
                               .arg(path_)
                               .arg(end)
                               .arg(reason_text(file_.errorString()))
                         : QStringLiteral("%1 became shorter while it was replayed; the replay ends at byte %2.")
                               .arg(path_)
                               .arg(end));
        size_ = end;
        if (chunk.isEmpty()) {
            finish(false);
            return;
        }
        cut = true;
    }

    position_ += chunk.size();
    // As fast as the panel takes it, the replay stands where the handing over got to.
    pace_.delivered(line_place_us(position_ - 1));
    const quint64 generation = generation_;
    emit received(chunk);
    if (generation != generation_) return;
    emit progress_changed();
    if (generation != generation_ || position_ < size_) return;
    finish(!cut);
}

// The next record of the recording into next_, reading the file as far as it takes.
bool ReplaySource::next_record() {
    for (;;) {
        if (reader_.next(next_)) {
            has_next_ = true;
            return true;
        }
        if (read_to_end_) return false;
        const QByteArray more = file_.read(kReadBytes);
        if (more.isEmpty()) {
            if (file_.error() != QFileDevice::NoError)
                emit message(QStringLiteral("Cannot read %1 past %2: %3; the replay ends there.")
                                 .arg(path_, QString::fromStdString(recorded_time_text(played_us_)), reason_text(file_.errorString())));
            reader_.finish();
            read_to_end_ = true;
            continue;
        }
        reader_.feed(byte_span(more));
    }
}

// Every record due by now, in order: the bytes of consecutive reads go out as one chunk, and a
// marker or a command is told between the bytes that came before and after it.
void ReplaySource::play_timed() {
    const qint64 now = now_us();
    const quint64 generation = generation_;
    QByteArray chunk;
    const auto hand_over = [&] {
        if (chunk.isEmpty()) return true;
        emit received(chunk);
        chunk.clear();
        return generation == generation_;
    };
    for (;;) {
        if (!has_next_ && !next_record()) {
            if (!hand_over()) return;
            if (position_ < size_) {
                emit message(QStringLiteral("%1 became shorter while it was replayed; the replay ends at %2.")
                                 .arg(path_, QString::fromStdString(recorded_time_text(played_us_))));
                size_ = position_;
                total_us_ = played_us_;
                finish(false);
            } else {
                finish(true);
            }
            return;
        }
        if (pace_.fastest() ? chunk.size() >= kChunkBytes : !pace_.due(next_.us, now)) break;
        has_next_ = false;
        played_us_ = std::max<qint64>(played_us_, next_.us);
        pace_.delivered(next_.us);
        switch (next_.kind) {
            case RecordKind::Received:
                chunk.append(reinterpret_cast<const char*>(next_.bytes.data()), static_cast<qsizetype>(next_.bytes.size()));
                position_ += static_cast<qint64>(next_.bytes.size());
                break;
            case RecordKind::Command: {
                if (!hand_over()) return;
                const QByteArray message(reinterpret_cast<const char*>(next_.bytes.data()), static_cast<qsizetype>(next_.bytes.size()));
                emit recorded_command(message, next_.us);
                if (generation != generation_) return;
                break;
            }
            case RecordKind::Marker: {
                if (!hand_over()) return;
                const Marker marker = next_.marker;
                emit recorded_marker(marker);
                if (generation != generation_) return;
                break;
            }
        }
    }
    if (!hand_over()) return;
    emit progress_changed();
    if (generation != generation_) return;
    schedule();
}

}  // namespace sensor
