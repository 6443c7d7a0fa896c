// A raw capture played back as if the board were sending it: the file's bytes in order, paced at
// the line rate (1,920 bytes a second) times a chosen speed, or as fast as the panel takes them.
#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <array>
#include <limits>

#include "io/board_connection.h"
#include "link/frame_receiver.h"

namespace sensor {

class ReplaySource : public BoardConnection, public ReplayControl {
    Q_OBJECT
public:
    static constexpr double kLineRate = kLineBytesPerSecond;
    // Hands the capture over in big chunks, one each event-loop turn, unpaced.
    static constexpr double kFastest = std::numeric_limits<double>::infinity();
    // The speeds offered to the user, slowest first.
    static constexpr std::array<double, 5> kSpeeds{0.25, 1, 4, 16, kFastest};
    static bool offered_speed(double speed) { return std::find(kSpeeds.begin(), kSpeeds.end(), speed) != kSpeeds.end(); }
    static constexpr qint64 kChunkBytes = 4096;

    explicit ReplaySource(const QString& path, QObject* parent = nullptr);
    ~ReplaySource() override;

    // Opens the capture and starts playing it from the first byte (unless paused). A file that
    // cannot be read, or holds no bytes, is said in one sentence and the state stays Closed.
    void open() override;
    void close() override;
    // No board hears a replay. The command is taken, so the panel follows it as it would with a
    // board (a run starts, the log is written); the first one says so once, the rest are quiet.
    bool send(const ControlMessage& message) override;
    State state() const override { return state_; }
    QString description() const override;  // "replay of run.bin"
    ReplayControl* replay() override { return this; }

    void pause() override;
    void resume() override;
    bool paused() const { return paused_; }
    void restart() override;
    // 0.25, 1, 4, 16 or kFastest.
    bool set_speed(double speed) override;
    double speed() const { return speed_; }
    ReplayProgress progress() const override;

    QString path() const { return path_; }
    qint64 position() const { return position_; }  // bytes handed over since the first byte
    qint64 size() const { return size_; }
    bool at_end() const { return state_ == State::Open && position_ == size_; }
    // At the line rate, whatever the speed: what the board took to send them.
    double played_seconds() const { return static_cast<double>(position_) / kLineRate; }
    double total_seconds() const { return static_cast<double>(size_) / kLineRate; }

signals:
    // The last byte was handed over. The state stays Open, so restart() can play it again.
    void finished();

private:
    void finish(bool say);
    void set_state(State state);
    void schedule();
    void anchor();
    void play();

    QString path_;
    QFile file_;
    QTimer timer_;
    QElapsedTimer clock_;  // since the last anchor
    qint64 anchor_position_ = 0;
    qint64 position_ = 0;
    qint64 size_ = 0;
    double speed_ = 1.0;
    bool paused_ = false;
    bool told_about_commands_ = false;
    // Changes whenever the position jumps or the replay stops, so a chunk's receiver may restart,
    // pause or close the replay from inside its slot.
    quint64 generation_ = 0;
    State state_ = State::Closed;
};

}  // namespace sensor
