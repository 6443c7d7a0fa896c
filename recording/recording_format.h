// What a recording with times holds: a header naming where and when it was made, then records of
// bytes received, commands sent and markers set, each stamped in microseconds since the start.
// The byte layout is in docs/recording-format.md; the encoder and the reader are its only users.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "link/marker.h"

namespace sensor {

// Chosen so that no capture of the board's stream can start with it by chance, and so that a
// copy through a text-mode channel (CR LF or LF changed, 0x1A taken as an end) shows at once.
inline constexpr std::array<std::uint8_t, 8> kRecordingMagic{0x89, 'S', 'P', 'R', '\r', '\n', 0x1A, '\n'};
// Raised only for a change an older reader cannot skip; new record kinds and header fields keep it.
inline constexpr std::uint16_t kRecordingVersion = 1;
inline constexpr const char* kLineSettings = "19200,N,8,1";

enum class RecordKind : std::uint8_t {
    Received = 1,  // bytes as one read of the port gave them
    Command = 2,   // a command message sent to the board
    Marker = 3,    // a moment the operator marked
};

// Record layout: kind (1 byte), payload length (4 bytes), payload; every payload known to this
// version begins with its time (8 bytes).
inline constexpr std::size_t kRecordHead = 5;
inline constexpr std::size_t kRecordTime = 8;
// A writer splits bigger reads; a reader takes a longer length for damage, not for a record.
inline constexpr std::size_t kMaxReceivedPerRecord = 64 * 1024;
inline constexpr std::uint32_t kMaxPayload = 1 << 20;

struct RecordingHeader {
    std::int64_t start_utc_us = 0;  // microseconds since 1970-01-01T00:00:00Z
    std::string program_version;    // "0.1.0"
    std::string port;               // as the panel named it: "/dev/ttyUSB0", "the simulated board"
    std::string line_settings = kLineSettings;
};

struct Record {
    RecordKind kind = RecordKind::Received;
    // Since the start of the recording. A raw capture has no times: there it is the line-rate
    // place of the record's last byte.
    std::int64_t us = 0;
    std::vector<std::uint8_t> bytes;  // Received and Command
    Marker marker;                    // Marker
};

}  // namespace sensor
