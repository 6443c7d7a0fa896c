// Where the board's bytes come from and where command messages go: a serial port, the simulated
// board in this process, or a capture being replayed. The panel sees only this.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include "link/command_sink.h"
#include "link/link_policy.h"

namespace sensor {

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
    // nothing went out.
    bool send(const ControlMessage& message) override = 0;

    virtual State state() const = 0;
    // What the status line names: "/dev/ttyUSB0", "the simulated board", "replay of run.bin".
    virtual QString description() const = 0;

signals:
    void received(const QByteArray& chunk);  // bytes in arrival order
    void state_changed(sensor::BoardConnection::State state);
    void message(const QString& sentence);   // one sentence per change of state or failure
};

QString state_text(BoardConnection::State state);  // "open", "retrying", "lost", "closed"

}  // namespace sensor
