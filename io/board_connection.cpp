#include "io/board_connection.h"

namespace sensor {

bool BoardConnection::send(const ControlMessage& message) {
    if (!write_message(message)) return false;
    emit sent(message);
    return true;
}

QString state_text(BoardConnection::State state) { return QString::fromLatin1(link_state_text(state)); }

}  // namespace sensor
