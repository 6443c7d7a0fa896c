// The serial link of this platform: the Win32 communications API on Windows, where Qt SerialPort
// is not built; Qt SerialPort elsewhere.
#pragma once

#include <QtGlobal>

#ifdef Q_OS_WIN
#include "io/win32_serial_link.h"
namespace sensor {
using PlatformSerialLink = Win32SerialLink;
}
#else
#include "io/serial_link.h"
namespace sensor {
using PlatformSerialLink = SerialLink;
}
#endif
