// Serial port 1 of this platform, the port the panel opens when none is named.
#pragma once

namespace sensor {

#ifdef _WIN32
inline constexpr const char* kPortOne = "COM1";
#else
inline constexpr const char* kPortOne = "/dev/ttyS0";
#endif

}  // namespace sensor
