// A recording played back as if the board were sending it. A recording with times keeps them:
// at 1× its bytes come when they came, stalls and bursts included, and the markers and commands
// it holds are told as they are passed; other speeds scale the times. A raw capture (bytes
// only) is paced at the line rate (1,920 bytes a second) times the speed. Or as fast as the panel
// takes it.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <array>
#include <optional>

#include "io/board_connection.h"
#include "io/recording_file.h"
#include "link/frame_receiver.h"
#include "recording/replay_pace.h"

namespace sensor {

class ReplaySource : public BoardConnection, public ReplayControl {
    Q_OBJECT
public:
    static constexpr double kLineRate = kLineBytesPerSecond;
    // Hands the capture over in big chunks, one each event-loop turn, unpaced.
    static constexpr double kFastest = ReplayPace::kFastest;
    // The speeds offered to the user, slowest first.
    static constexpr std::array<double, 5> kSpeeds{0.25, 1, 4, 16, kFastest};
    static bool offered_speed(double speed) { return std::find(kSpeeds.begin(), kSpeeds.end(), speed) != kSpeeds.end(); }
    static constexpr qint64 kChunkBytes = 4096;

    explicit ReplaySource(const QString& path, QObject* parent = nullptr);
    ~ReplaySource() override;

    // Opens the capture and starts playing it from the first byte (unless paused). A file that
    // cannot be read, or holds no bytes, is said in one sentence and the state stays Closed. A
    // recording cut short (by a crash) plays up to its cut, said once here.
    void open() override;
    void close() override;
    // No board hears a replay. The command is taken, so the panel follows it as it would with a
    // board (a run starts, the log is written); the first one says so once, the rest are quiet.
    bool write_message(const ControlMessage& message) override;
    State state() const override { return state_; }
    QString description() const override;  // "replay of run.bin"
    ReplayControl* replay() override { return this; }

    void pause() override;
    void resume() override;
    bool paused() const { return pace_.paused(); }
    void restart() override;
    // 0.25, 1, 4, 16 or kFastest.
    bool set_speed(double speed) override;
    double speed() const { return pace_.speed(); }
    ReplayProgress progress() const override;

    QString path() const { return path_; }
    // A recording with times; false for a raw capture. Known once open.
    bool timed() const { return file_.timed(); }
    // Where and when the recording was made; none for a raw capture.
    std::optional<RecordingHeader> header() const;
    qint64 position() const { return position_; }  // bytes from the board handed over since the first
    qint64 size() const { return size_; }
    bool at_end() const { return state_ == State::Open && ended_; }
    // Whether a next chunk is on its way: bytes come only from its timer, so while none is
    // scheduled nothing more arrives.
    bool scheduled() const { return timer_.isActive(); }
    // Recorded time: what the board took to send them, whatever the speed.
    double played_seconds() const;
    double total_seconds() const;

signals:
    // The last byte was handed over. The state stays Open, so restart() can play it again.
    void finished();

private:
    void finish(bool say);
    void set_state(State state);
    void schedule();
    void play();
    void play_raw();
    void play_timed();
    void rewind();
    bool next_record();
    qint64 now_us() const { return clock_.nsecsElapsed() / 1000; }

    QString path_;
    RecordingFile file_;
    QTimer timer_;
    QElapsedTimer clock_;  // started once: the pace is told its readings
    ReplayPace pace_;
    Record next_;  // of a recording with times, the record due next
    bool has_next_ = false;
    qint64 total_us_ = 0;
    qint64 played_us_ = 0;  // the time of the last record handed over
    qint64 position_ = 0;
    qint64 size_ = 0;
    bool ended_ = false;
    bool told_about_commands_ = false;
    // Changes whenever the position jumps or the replay stops, so a chunk's receiver may restart,
    // pause or close the replay from inside its slot.
    quint64 generation_ = 0;
    State state_ = State::Closed;
};

}  // namespace sensor
