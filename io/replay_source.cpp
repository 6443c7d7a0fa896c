#include "io/replay_source.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace sensor {
namespace {

// Short enough that even ¼× hands over a few bytes at a time, as a port would; how much goes out
// is worked out from the elapsed time, so late ticks cost no bytes.
constexpr int kTickMs = 10;

QString reason_text(QString text) {
    if (!text.isEmpty()) text[0] = text[0].toLower();
    while (text.endsWith('.')) text.chop(1);
    return text;
}

}  // namespace

ReplaySource::ReplaySource(const QString& path, QObject* parent) : BoardConnection(parent), path_(path) {
    connect(&timer_, &QTimer::timeout, this, &ReplaySource::play);
}

ReplaySource::~ReplaySource() {
    timer_.stop();
    file_.close();
}

QString ReplaySource::description() const {
    return QStringLiteral("replay of %1").arg(QFileInfo(path_).fileName());
}

void ReplaySource::open() {
    if (state_ == State::Open) return;
    const QFileInfo info(path_);
    QString reason;
    if (!info.exists()) {
        reason = QStringLiteral("no such file");
    } else if (info.isDir()) {
        reason = QStringLiteral("it is a folder, not a capture file");
    } else {
        file_.setFileName(path_);
        if (!file_.open(QIODevice::ReadOnly)) {
            reason = reason_text(file_.errorString());
        } else if (file_.isSequential()) {
            // A pipe or a device has no length, so there is nothing to pace against or restart.
            reason = QStringLiteral("it is not a regular file");
        } else if (file_.size() == 0) {
            reason = QStringLiteral("the file is empty");
        }
    }
    if (!reason.isEmpty()) {
        file_.close();
        emit message(QStringLiteral("Cannot replay %1: %2.").arg(path_, reason));
        return;
    }
    size_ = file_.size();
    position_ = 0;
    ++generation_;
    told_about_commands_ = false;
    set_state(State::Open);
    anchor();
    schedule();
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

ReplayProgress ReplaySource::progress() const {
    ReplayProgress p;
    p.position = position_;
    p.size = size_;
    p.played_seconds = played_seconds();
    p.total_seconds = total_seconds();
    p.speed = speed_;
    p.paused = paused_;
    p.ended = at_end();
    return p;
}

void ReplaySource::pause() {
    paused_ = true;
    timer_.stop();
    emit progress_changed();
}

void ReplaySource::resume() {
    if (!paused_) return;
    paused_ = false;
    anchor();
    schedule();
    emit progress_changed();
}

// The last byte was handed over. The state stays Open, so restart() can play it again.
void ReplaySource::finish(bool say) {
    timer_.stop();
    if (say) emit message(QStringLiteral("The replay of %1 reached its end. File > Restart replay plays it again.").arg(path_));
    emit progress_changed();
    emit finished();
}

void ReplaySource::restart() {
    if (state_ != State::Open) {
        open();
        return;
    }
    file_.seek(0);
    position_ = 0;
    ++generation_;
    anchor();
    emit progress_changed();
    schedule();
}

bool ReplaySource::set_speed(double speed) {
    if (!(speed > 0)) return false;
    speed_ = speed;
    anchor();
    schedule();
    emit progress_changed();
    return true;
}

void ReplaySource::set_state(State state) {
    if (state_ == state) return;
    state_ = state;
    emit state_changed(state_);
}

// Pacing counts from here: after a pause or a change of speed, bytes are due from this moment on.
void ReplaySource::anchor() {
    anchor_position_ = position_;
    clock_.start();
}

void ReplaySource::schedule() {
    if (state_ != State::Open || paused_ || position_ >= size_) {
        timer_.stop();
        return;
    }
    // A zero timer fires once per event-loop turn, after the events waiting, so the window stays live.
    timer_.start(std::isinf(speed_) ? 0 : kTickMs);
}

void ReplaySource::play() {
    if (state_ != State::Open || paused_) {
        timer_.stop();
        return;
    }
    qint64 due = std::min(size_, position_ + kChunkBytes);
    if (!std::isinf(speed_)) {
        const double elapsed_s = static_cast<double>(clock_.nsecsElapsed()) / 1e9;
        const auto owed = static_cast<qint64>(std::floor(elapsed_s * kLineRate * speed_));
        due = std::min(due, anchor_position_ + owed);
    }
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
    const quint64 generation = generation_;
    emit received(chunk);
    if (generation != generation_) return;
    emit progress_changed();
    if (generation != generation_ || position_ < size_) return;
    finish(!cut);
}

}  // namespace sensor
