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

std::string command_text(std::int16_t before, std::int16_t sent) {
    if (sent & control_bit::kResetRequest) return "Reset";
    struct Bit {
        std::int16_t bit;
        const char* name;
    };
    static constexpr Bit kBits[] = {
        {control_bit::kInfraredGroup, "IR"},
        {control_bit::kUltrasonicGroup, "US"},
        {control_bit::kGroundGroup, "Ground"},
        {control_bit::kShortDistance, "US short distance"},
        {control_bit::kInterferenceOverride, "US interference override"},
    };
    const std::int16_t changed = static_cast<std::int16_t>((before ^ sent) & 0xFF);
    if (changed == control_bit::kMeasuring) return (sent & control_bit::kMeasuring) ? "START" : "STOP";
    for (const Bit& b : kBits)
        if (changed == b.bit) return std::string(b.name) + ((sent & b.bit) ? " on" : " off");
    return "the panel's state (byte " + std::to_string(sent & 0xFF) + ")";
}

std::int16_t byte_after(std::int16_t sent) { return (sent & control_bit::kResetRequest) ? kControlByteStart : sent; }

}  // namespace sensor
