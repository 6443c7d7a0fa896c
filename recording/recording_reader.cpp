#include "recording/recording_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "recording/recorded_time.h"

namespace sensor {
namespace {

// A header is a few dozen bytes; a length beyond this is damage.
constexpr std::uint32_t kMaxHeader = 64 * 1024;
constexpr std::size_t kHeaderFixed = 6;  // version, header length

std::uint64_t get_le(const std::uint8_t* p, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | p[i];
    return value;
}

bool get_text(const std::uint8_t*& p, const std::uint8_t* end, std::string& text) {
    if (end - p < 2) return false;
    const std::size_t n = get_le(p, 2);
    p += 2;
    if (static_cast<std::size_t>(end - p) < n) return false;
    text.assign(reinterpret_cast<const char*>(p), n);
    p += n;
    return true;
}

std::size_t minimum_payload(std::uint8_t kind) {
    switch (static_cast<RecordKind>(kind)) {
        case RecordKind::Received:
        case RecordKind::Command: return kRecordTime;
        case RecordKind::Marker: return kRecordTime + 8;
    }
    return 0;
}

bool known(std::uint8_t kind) { return kind >= 1 && kind <= 3; }

std::string bytes_text(std::uint64_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

std::string left_out(std::uint64_t n, const std::string& what) {
    return n == 1 ? "the last byte" + what + " is left out" : "the last " + bytes_text(n) + what + " are left out";
}

}  // namespace

void RecordingReader::feed(std::span<const std::uint8_t> bytes) {
    fed_ += bytes.size();
    if (stage_ == Stage::Stopped) return;
    // Read bytes are dropped once they are most of the buffer, so it holds about one chunk.
    if (at_ > 0 && at_ >= buffer_.size() / 2) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(at_));
        at_ = 0;
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

void RecordingReader::finish() { finished_ = true; }

void RecordingReader::take(std::size_t n) {
    at_ += n;
    taken_ += n;
}

void RecordingReader::stop(Trouble trouble) {
    trouble_ = trouble;
    stop_at_ = taken_;
    stage_ = Stage::Stopped;
    buffer_.clear();
    buffer_.shrink_to_fit();
    at_ = 0;
}

bool RecordingReader::read_magic() {
    const std::size_t n = std::min(available(), kRecordingMagic.size());
    if ((n > 0 && std::memcmp(here(), kRecordingMagic.data(), n) != 0) || (n < kRecordingMagic.size() && finished_)) {
        stage_ = Stage::Raw;
        format_ = RecordingFormat::Raw;
        return true;
    }
    if (n < kRecordingMagic.size()) return false;
    take(n);
    stage_ = Stage::Header;
    format_ = RecordingFormat::Timed;
    return true;
}

bool RecordingReader::read_header() {
    if (available() < kHeaderFixed) return false;
    version_ = static_cast<std::uint16_t>(get_le(here(), 2));
    if (version_ != kRecordingVersion) {
        stop(Trouble::Refused);
        return false;
    }
    const std::uint64_t length = get_le(here() + 2, 4);
    if (length > kMaxHeader) {
        stop(Trouble::DamagedHeader);
        return false;
    }
    if (available() < kHeaderFixed + length) return false;
    const std::uint8_t* p = here() + kHeaderFixed;
    const std::uint8_t* end = p + length;
    // Fields a later version adds after these are skipped with the rest of the header.
    if (end - p < 8) {
        stop(Trouble::DamagedHeader);
        return false;
    }
    header_.start_utc_us = static_cast<std::int64_t>(get_le(p, 8));
    p += 8;
    if (!get_text(p, end, header_.program_version) || !get_text(p, end, header_.port) ||
        !get_text(p, end, header_.line_settings)) {
        stop(Trouble::DamagedHeader);
        return false;
    }
    take(kHeaderFixed + static_cast<std::size_t>(length));
    header_ok_ = true;
    stage_ = Stage::Records;
    return true;
}

bool RecordingReader::next(Record& out) {
    for (;;) {
        switch (stage_) {
            case Stage::Magic:
                if (!read_magic()) break;
                continue;
            case Stage::Header:
                if (!read_header()) break;
                continue;
            case Stage::Raw: {
                const std::size_t n = available();
                if (n == 0) return false;
                out.kind = RecordKind::Received;
                out.bytes.assign(here(), here() + n);
                out.marker.frame = 0;
                out.marker.label.clear();
                take(n);
                out.us = line_place_us(static_cast<std::int64_t>(taken_) - 1);
                return true;
            }
            case Stage::Records: {
                if (available() < kRecordHead) break;
                const std::uint8_t kind = here()[0];
                const std::uint64_t length = get_le(here() + 1, 4);
                // A zero kind is what a crash's zero-filled tail looks like.
                if (kind == 0 || length > kMaxPayload || length < minimum_payload(kind)) {
                    stop(Trouble::DamagedRecord);
                    return false;
                }
                if (available() < kRecordHead + length) {
                    cut_record_ = static_cast<std::uint32_t>(kRecordHead + length);
                    break;
                }
                cut_record_ = 0;
                const std::uint8_t* p = here() + kRecordHead;
                if (!known(kind)) {
                    take(kRecordHead + static_cast<std::size_t>(length));
                    ++skipped_;
                    continue;
                }
                const std::uint64_t us = get_le(p, 8);
                if (us > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                    stop(Trouble::DamagedRecord);
                    return false;
                }
                out.kind = static_cast<RecordKind>(kind);
                out.us = static_cast<std::int64_t>(us);
                const std::uint8_t* rest = p + kRecordTime;
                const std::uint8_t* end = p + length;
                if (out.kind == RecordKind::Marker) {
                    out.marker.frame = get_le(rest, 8);
                    out.marker.label.assign(reinterpret_cast<const char*>(rest + 8), static_cast<std::size_t>(end - rest - 8));
                    out.bytes.clear();
                } else {
                    out.bytes.assign(rest, end);
                    out.marker.frame = 0;
                    out.marker.label.clear();
                }
                take(kRecordHead + static_cast<std::size_t>(length));
                last_us_ = out.us;
                return true;
            }
            case Stage::Stopped: return false;
        }
        // Not enough bytes for the next step.
        if (finished_ && trouble_ == Trouble::None && available() > 0)
            stop(stage_ == Stage::Header ? Trouble::CutHeader : Trouble::CutRecord);
        return false;
    }
}

std::string RecordingReader::trouble(std::string_view name_view) const {
    const std::string name(name_view);
    const std::uint64_t left = fed_ - stop_at_;
    switch (trouble_) {
        case Trouble::None: return {};
        case Trouble::Refused:
            return name + " is a recording of format version " + std::to_string(version_) + ", which this program does not read (it reads version " +
                   std::to_string(kRecordingVersion) + "); open it with the sensor-panel that made it, or a newer one.";
        case Trouble::CutHeader:
            return name + " is cut short at byte " + std::to_string(fed_) + ", inside its header: it holds no records.";
        case Trouble::DamagedHeader: return name + " has a damaged header: none of its " + bytes_text(fed_) + " can be read.";
        case Trouble::CutRecord:
            return name + " is cut short at byte " + std::to_string(fed_) + ": it reads whole up to " + recorded_time_text(last_us_) +
                   " (byte " + std::to_string(stop_at_) + "); " +
                   left_out(left, ", part of a record" + (cut_record_ ? " of " + bytes_text(cut_record_) : std::string()) + ",") + ".";
        case Trouble::DamagedRecord:
            return name + " holds no valid record at byte " + std::to_string(stop_at_) + ": it reads whole up to " +
                   recorded_time_text(last_us_) + "; " + left_out(left, "") + ".";
    }
    return {};
}

}  // namespace sensor
