#include "link/port_name.h"

#include <cctype>

namespace sensor {
namespace {

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool all_digits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

}  // namespace

std::string port_device_path(std::string_view name, PortSystem system) {
    if (system == PortSystem::Posix) {
        if (name.empty() || name.front() == '/') return std::string(name);
        return "/dev/" + std::string(name);
    }
    std::string_view bare = name;
    for (std::string_view prefix : {R"(\\.\)", R"(//./)"})
        if (bare.substr(0, prefix.size()) == prefix) bare.remove_prefix(prefix.size());
    const std::string up = upper(bare);
    // COM1 to COM255, however it was written; the device namespace holds them all.
    if (up.size() > 3 && up.compare(0, 3, "COM") == 0 && all_digits(std::string_view(up).substr(3)))
        return R"(\\.\)" + up;
    return std::string(name);
}

bool same_port(std::string_view a, std::string_view b, PortSystem system) {
    const std::string pa = port_device_path(a, system), pb = port_device_path(b, system);
    return system == PortSystem::Windows ? upper(pa) == upper(pb) : pa == pb;
}

}  // namespace sensor
