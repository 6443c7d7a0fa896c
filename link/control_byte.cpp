#include "link/control_byte.h"

namespace sensor {

ControlMessage control_message(std::int16_t control_byte) {
    return {static_cast<std::uint8_t>(control_byte & 0xFF), 0};
}

std::int16_t toggled_bit(std::int16_t control_byte, std::int16_t bit) {
    return static_cast<std::int16_t>(control_byte ^ bit);
}

std::optional<std::int16_t> toggled_group(std::int16_t control_byte, std::int16_t group_bit) {
    const std::int16_t next = toggled_bit(control_byte, group_bit);
    if ((next & control_bit::kGroupMask) == 0) return std::nullopt;
    return next;
}

std::int16_t reset_pulse(std::int16_t control_byte) { return toggled_bit(control_byte, control_bit::kResetRequest); }

}  // namespace sensor
