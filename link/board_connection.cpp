// The connection seam's state in words, for the status line.
#include "link/board_connection.h"

namespace sensor {

QString state_text(BoardConnection::State state) {
    switch (state) {
        case BoardConnection::State::Open: return QStringLiteral("open");
        case BoardConnection::State::Retrying: return QStringLiteral("retrying");
        case BoardConnection::State::Lost: return QStringLiteral("lost");
        case BoardConnection::State::Closed: break;
    }
    return QStringLiteral("closed");
}

}  // namespace sensor
