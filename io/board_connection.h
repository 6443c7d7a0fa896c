// Where the board's bytes come from and where command messages go: a serial port, the simulated
// board in this process, or a capture being replayed. The panel sees only this.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include "link/command_sink.h"
#include "link/link_policy.h"
#include "link/marker.h"

namespace sensor {

// Where a replay stands.
struct ReplayProgress {
    qint64 position = 0;  // bytes from the board handed over
    qint64 size = 0;      // of them in the capture
    // Recorded time: of a recording, from its own times; of a raw capture, at the line rate.
    double played_seconds = 0;
    double total_seconds = 0;
    bool timed = false;  // a recording with times; false for a raw capture
    double speed = 1;  // infinity: as fast as the panel takes it
    bool paused = false;
    bool ended = false;  // the last byte was handed over; restart() plays it again
};

// What only a replay can do, asked of a connection through BoardConnection::replay().
class ReplayControl {
public:
    // Pause and resume hold the position; time spent paused is not made up afterwards.
    virtual void pause() = 0;
    virtual void resume() = 0;
    // Back to the first byte; a paused replay stays paused, an ended one plays again.
    virtual void restart() = 0;
    // False (and no change) for a speed that is not above zero.
    virtual bool set_speed(double speed) = 0;
    virtual ReplayProgress progress() const = 0;

protected:
    ~ReplayControl() = default;
};

// What only a serial port can do, asked through BoardConnection::port_control().
class PortControl {
public:
    // As the user gave it, or port 1 of this platform.
    virtual QString port() const = 0;
    // Closes this port and opens another, without restarting the program.
    virtual void switch_to(const QString& port) = 0;

protected:
    ~PortControl() = default;
};

class BoardConnection : public QObject, public CommandSink {
    Q_OBJECT
public:
    using State = LinkState;

    using QObject::QObject;

    // Starts delivering bytes. A failure is said in one sentence and retried where that makes
    // sense; it never ends the program.
    virtual void open() = 0;
    // Stops; nothing is sent to the board.
    virtual void close() = 0;
    // Written and flushed at once, so a failure is seen at the click; false with a message when
    // nothing went out. What went out is told by sent().
    bool send(const ControlMessage& message) final;

    virtual State state() const = 0;
    // What the status line names: "/dev/ttyUSB0", "the simulated board", "replay of run.bin".
    virtual QString description() const = 0;

    // What only some kinds can do; nullptr where this kind cannot.
    virtual ReplayControl* replay() { return nullptr; }
    virtual PortControl* port_control() { return nullptr; }

protected:
    // The kind's own write of a command message; true when it went out.
    virtual bool write_message(const ControlMessage& message) = 0;

signals:
    void received(const QByteArray& chunk);  // bytes in arrival order
    void state_changed(sensor::BoardConnection::State state);
    void message(const QString& sentence);   // one sentence per change of state or failure
    void progress_changed();                 // a replay moved, paused, changed speed or ended
    void sent(const sensor::ControlMessage& message);  // a command went out (a recording keeps it)
    // A replay passed a marker or a command kept in its recording, in order with the bytes.
    void recorded_marker(const sensor::Marker& marker);
    void recorded_command(const QByteArray& message, qint64 us_since_start);
};

QString state_text(BoardConnection::State state);  // "open", "retrying", "lost", "closed"

}  // namespace sensor
