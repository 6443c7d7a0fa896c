// The command byte to the board: one bit per sensor group or option, the whole byte sent on every
// operator action as a two-byte message (the byte, then the zero that ends a message).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace sensor {

namespace control_bit {
inline constexpr std::int16_t kInfraredGroup = 0x01;
inline constexpr std::int16_t kUltrasonicGroup = 0x02;
inline constexpr std::int16_t kInterferenceOverride = 0x04;
inline constexpr std::int16_t kShortDistance = 0x08;
inline constexpr std::int16_t kGroundGroup = 0x10;
inline constexpr std::int16_t kResetRequest = 0x40;
inline constexpr std::int16_t kMeasuring = 0x80;
inline constexpr std::int16_t kGroupMask = kInfraredGroup | kUltrasonicGroup | kGroundGroup;
}  // namespace control_bit

// The three groups on, everything else off: at start-up and after a reset.
inline constexpr std::int16_t kControlByteStart = 19;

using ControlMessage = std::array<std::uint8_t, 2>;

ControlMessage control_message(std::int16_t control_byte);

std::int16_t toggled_bit(std::int16_t control_byte, std::int16_t bit);

// The byte with a group bit toggled, or nothing when that would switch the last group off.
std::optional<std::int16_t> toggled_group(std::int16_t control_byte, std::int16_t group_bit);

// A reset is the byte with the reset bit flipped, sent once; afterwards the byte is back at start.
std::int16_t reset_pulse(std::int16_t control_byte);

// What a command byte did, told from the byte the board had before it: "START", "STOP", "Reset",
// "IR off", "US short distance on"; for a byte that changed nothing (the panel's state sent to
// bring the board in step), "the panel's state (byte 147)".
std::string command_text(std::int16_t before, std::int16_t sent);
// The board's byte after this one: a reset leaves it at the start value.
std::int16_t byte_after(std::int16_t sent);

}  // namespace sensor
