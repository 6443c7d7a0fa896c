// Where the panel's command messages go: the board's connection, or anything that stands in for it.
#pragma once

#include "link/control_byte.h"

namespace sensor {

class CommandSink {
public:
    virtual ~CommandSink() = default;
    // Writes the message now; false when nothing went out (no board connected, a failed write).
    // The connection behind it tells the user why.
    virtual bool send(const ControlMessage& message) = 0;
};

}  // namespace sensor
