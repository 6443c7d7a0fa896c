// Which board connection the panel uses, and the one place that changes it: a serial port chosen
// in the Port menu (the same port kind moves, another kind is replaced), a capture to replay, or
// the connection the program started with (a port, the simulated board, a replay).
#pragma once

#include <QObject>
#include <QString>

#include <memory>

#include "io/board_connection.h"

namespace sensor {

class ConnectionSwitcher : public QObject {
    Q_OBJECT
public:
    explicit ConnectionSwitcher(std::unique_ptr<BoardConnection> first, QObject* parent = nullptr);
    ~ConnectionSwitcher() override;

    BoardConnection* current() const { return current_.get(); }
    // Opens the connection in use, and every later one as it is chosen.
    void open();
    // Closes it; later choices stay closed.
    void close();

    // The operator chose a port: the port in use moves there, any other kind gives way to it.
    // The same port, open already, changes nothing.
    void use_port(const QString& location);
    void use_replay(const QString& path);
    void use(std::unique_ptr<BoardConnection> next);

signals:
    // Another connection, or the same port connection moved to another port: what came before
    // is closed, and the new one is about to be opened. `fresh` when it is another object, whose
    // signals are still to be connected.
    void changed(sensor::BoardConnection* connection, bool fresh);
    // A port the operator chose opened: worth remembering for the next start.
    void chosen_port_opened(const QString& location);

private:
    void on_state_changed(sensor::BoardConnection::State state);

    std::unique_ptr<BoardConnection> current_;
    bool open_ = false;
    QString chosen_port_;  // until it opens
};

}  // namespace sensor
