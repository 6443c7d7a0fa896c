// What a Win32 error code from a serial port means to the link: why an open failed, and what a
// failed read or status query says about the line. Codes are numbers, so the rule holds and is
// tested on every system.
#pragma once

#include <cstdint>

#include "link/link_policy.h"

namespace sensor {

OpenFailure open_failure_of_win32_error(std::uint32_t code);

enum class Win32ReadFailure : std::uint8_t {
    NoDataYet,  // a read's time ran out before a byte came; read again
    Unplugged,  // the device went away (or its driver stopped): lost, retried
    Other,      // any other error: lost, with the system's reason
};

Win32ReadFailure read_failure_of_win32_error(std::uint32_t code);

}  // namespace sensor
