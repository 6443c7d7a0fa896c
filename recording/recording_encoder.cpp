#include "recording/recording_encoder.h"

#include <algorithm>
#include <string_view>

namespace sensor {
namespace {

void put_le(std::uint64_t value, int bytes, std::vector<std::uint8_t>& out) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A text longer than a length field holds is cut, not refused: a label is not worth a recording.
void put_text(std::string_view text, std::vector<std::uint8_t>& out) {
    const std::size_t n = std::min<std::size_t>(text.size(), 0xFFFF);
    put_le(n, 2, out);
    out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
}

void put_record(RecordKind kind, std::int64_t us, std::size_t rest, std::vector<std::uint8_t>& out) {
    out.push_back(static_cast<std::uint8_t>(kind));
    put_le(kRecordTime + rest, 4, out);
    put_le(static_cast<std::uint64_t>(std::max<std::int64_t>(us, 0)), 8, out);
}

}  // namespace

void encode_header(const RecordingHeader& header, std::vector<std::uint8_t>& out) {
    out.insert(out.end(), kRecordingMagic.begin(), kRecordingMagic.end());
    put_le(kRecordingVersion, 2, out);
    const std::size_t length_at = out.size();
    put_le(0, 4, out);
    put_le(static_cast<std::uint64_t>(header.start_utc_us), 8, out);
    put_text(header.program_version, out);
    put_text(header.port, out);
    put_text(header.line_settings, out);
    const std::size_t length = out.size() - length_at - 4;
    for (int i = 0; i < 4; ++i) out[length_at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(length >> (8 * i));
}

void encode_received(std::int64_t us, std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out) {
    while (!bytes.empty()) {
        const std::span<const std::uint8_t> part = bytes.first(std::min(bytes.size(), kMaxReceivedPerRecord));
        put_record(RecordKind::Received, us, part.size(), out);
        out.insert(out.end(), part.begin(), part.end());
        bytes = bytes.subspan(part.size());
    }
}

void encode_command(std::int64_t us, std::span<const std::uint8_t> message, std::vector<std::uint8_t>& out) {
    const std::span<const std::uint8_t> kept = message.first(std::min<std::size_t>(message.size(), kMaxPayload - kRecordTime));
    put_record(RecordKind::Command, us, kept.size(), out);
    out.insert(out.end(), kept.begin(), kept.end());
}

void encode_marker(std::int64_t us, const Marker& marker, std::vector<std::uint8_t>& out) {
    const std::size_t label = std::min<std::size_t>(marker.label.size(), 0xFFFF);
    put_record(RecordKind::Marker, us, 8 + label, out);
    put_le(marker.frame, 8, out);
    out.insert(out.end(), marker.label.begin(), marker.label.begin() + static_cast<std::ptrdiff_t>(label));
}

}  // namespace sensor
