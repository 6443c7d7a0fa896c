#include "io/board_connection.h"

namespace sensor {

QString state_text(BoardConnection::State state) { return QString::fromLatin1(link_state_text(state)); }

}  // namespace sensor
