#include "io/replay_source.h"

#include <QFileInfo>

#include "recording/recorded_time.h"

namespace sensor {
namespace {

// Short enough that even ¼× hands over a few bytes of a raw capture at a time, as a port would;
// how much goes out is worked out from the elapsed time, so late ticks cost no bytes.
constexpr int kTickMs = 10;
// In a recorded stall nothing is due for a while; the progress still moves this often.
constexpr qint64 kProgressMs = 250;

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
    return file_.header();
}

void ReplaySource::open() {
    if (state_ == State::Open) return;
    const QString refusal = file_.open(path_);
    if (!refusal.isEmpty()) {
        emit message(refusal);
        return;
    }
    pace_.set_by_bytes(!file_.timed());
    size_ = file_.received_bytes();
    total_us_ = file_.last_us();
    told_about_commands_ = false;
    if (!file_.cut().isEmpty()) emit message(file_.cut());
    rewind();
    set_state(State::Open);
    schedule();
}

void ReplaySource::close() {
    timer_.stop();
    file_.close();
    ++generation_;
    position_ = 0;
    set_state(State::Closed);
}

bool ReplaySource::write_message(const ControlMessage&) {
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
    file_.rewind();
    has_next_ = false;
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
        const QString error = file_.read_error();
        emit message(!error.isEmpty()
                         ? QStringLiteral("Cannot read %1 past byte %2: %3; the replay ends there.").arg(path_).arg(end).arg(error)
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

// The next record of the recording into next_; false at its end, said when a read failed.
bool ReplaySource::next_record() {
    has_next_ = file_.next(next_);
    if (!has_next_) {
        if (const QString error = file_.read_error(); !error.isEmpty())
            emit message(QStringLiteral("Cannot read %1 past %2: %3; the replay ends there.")
                             .arg(path_, QString::fromStdString(recorded_time_text(played_us_)), error));
    }
    return has_next_;
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
