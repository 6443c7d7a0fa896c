// Port names as users give them and the devices they stand for: on Linux "ttyUSB0" and
// "/dev/ttyUSB0" are one port; on Windows "COM3", "com3" and "\\.\COM3" are one port, and a port
// from COM10 on opens only by its device path.
#pragma once

#include <string>
#include <string_view>

namespace sensor {

enum class PortSystem { Posix, Windows };

#ifdef _WIN32
inline constexpr PortSystem kThisPortSystem = PortSystem::Windows;
#else
inline constexpr PortSystem kThisPortSystem = PortSystem::Posix;
#endif

// What opens the port: "/dev/ttyUSB0"; "\\.\COM3". A name that is no port name of the system is
// returned as it stands (its open then fails and says why).
std::string port_device_path(std::string_view name, PortSystem system = kThisPortSystem);
// Whether two names stand for the same port.
bool same_port(std::string_view a, std::string_view b, PortSystem system = kThisPortSystem);

}  // namespace sensor
