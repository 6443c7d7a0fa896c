// A recording with times as bytes: the magic, the version and the header once, then one record per
// call, appended to `out`. Little-endian throughout; every record says its own length.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "link/marker.h"
#include "recording/recording_format.h"

namespace sensor {

void encode_header(const RecordingHeader& header, std::vector<std::uint8_t>& out);

// A read bigger than kMaxReceivedPerRecord becomes several records of the same time.
void encode_received(std::int64_t us, std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out);
void encode_command(std::int64_t us, std::span<const std::uint8_t> message, std::vector<std::uint8_t>& out);
void encode_marker(std::int64_t us, const Marker& marker, std::vector<std::uint8_t>& out);

}  // namespace sensor
