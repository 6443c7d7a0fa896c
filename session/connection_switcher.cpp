#include "session/connection_switcher.h"

#include "io/replay_source.h"
#include "io/platform_serial_link.h"
#include "link/port_name.h"

namespace sensor {

ConnectionSwitcher::ConnectionSwitcher(std::unique_ptr<BoardConnection> first, QObject* parent)
    : QObject(parent), current_(std::move(first)) {
    if (current_) connect(current_.get(), &BoardConnection::state_changed, this, &ConnectionSwitcher::on_state_changed);
}

ConnectionSwitcher::~ConnectionSwitcher() {
    if (current_) current_->disconnect(this);
}

void ConnectionSwitcher::open() {
    open_ = true;
    if (current_) current_->open();
}

void ConnectionSwitcher::close() {
    open_ = false;
    if (current_) current_->close();
}

void ConnectionSwitcher::use_port(const QString& location) {
    if (location.isEmpty()) return;
    PortControl* port = current_ ? current_->port_control() : nullptr;
    if (port && same_port(port->port().toStdString(), location.toStdString()) &&
        current_->state() == BoardConnection::State::Open)
        return;
    chosen_port_ = location;
    if (!port) {
        use(std::make_unique<PlatformSerialLink>(location));
        return;
    }
    emit changed(current_.get(), false);
    if (open_) port->switch_to(location);
}

void ConnectionSwitcher::use_replay(const QString& path) {
    if (path.isEmpty()) return;
    chosen_port_.clear();
    use(std::make_unique<ReplaySource>(path));
}

void ConnectionSwitcher::use(std::unique_ptr<BoardConnection> next) {
    if (current_) {
        current_->disconnect(this);
        current_->close();
    }
    // This may run inside a signal of the connection it replaces: that one goes when the event
    // loop comes back to it.
    if (current_) current_.release()->deleteLater();
    current_ = std::move(next);
    if (current_) connect(current_.get(), &BoardConnection::state_changed, this, &ConnectionSwitcher::on_state_changed);
    emit changed(current_.get(), true);
    if (open_ && current_) current_->open();
}

// Only a port that opened is remembered: a name that never opened would greet the next start
// with the same failure.
void ConnectionSwitcher::on_state_changed(BoardConnection::State state) {
    PortControl* port = current_ ? current_->port_control() : nullptr;
    if (state != BoardConnection::State::Open || chosen_port_.isEmpty() || !port) return;
    if (same_port(port->port().toStdString(), chosen_port_.toStdString())) emit chosen_port_opened(port->port());
    chosen_port_.clear();
}

}  // namespace sensor
