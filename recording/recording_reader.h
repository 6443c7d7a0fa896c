// Reads a recording from bytes given in chunks of any size, as a file or a pipe hands them over:
// the header, then one record at a time. A file without the magic is a raw capture (the older
// format, or bytes copied straight from a port): all of it is received bytes. A recording that
// ends inside a record (cut by a crash) reads up to its last whole record; trouble() then says
// where it was cut and how much was left out, in one sentence.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "recording/recording_format.h"

namespace sensor {

enum class RecordingFormat : std::uint8_t { Undecided, Raw, Timed };

class RecordingReader {
public:
    void feed(std::span<const std::uint8_t> bytes);
    // No more bytes will come: a file shorter than the magic is raw, and what is left is a cut.
    void finish();

    // The next record, written over `out` (its buffers are reused); false when none is whole yet,
    // or, after finish(), when the input is read.
    bool next(Record& out);

    RecordingFormat format() const { return format_; }
    // Valid once format() is Timed and the first record (or the end) was asked for.
    const RecordingHeader& header() const { return header_; }
    bool header_read() const { return stage_ == Stage::Records || (stage_ == Stage::Stopped && header_ok_); }
    // The time of the last whole record read; 0 before the first.
    std::int64_t last_us() const { return last_us_; }
    // Records of kinds newer than this reader, skipped whole.
    std::uint64_t skipped() const { return skipped_; }
    // A recording of a format version this reader does not know: nothing of it is read.
    bool refused() const { return trouble_ == Trouble::Refused; }

    // After finish() and next() returned false: "" when the input was read whole; otherwise one
    // sentence naming `name` (a file, "standard input"): where it ends, and what was left out.
    std::string trouble(std::string_view name) const;

private:
    enum class Stage : std::uint8_t { Magic, Header, Records, Raw, Stopped };
    enum class Trouble : std::uint8_t { None, CutHeader, CutRecord, DamagedHeader, DamagedRecord, Refused };

    std::size_t available() const { return buffer_.size() - at_; }
    const std::uint8_t* here() const { return buffer_.data() + at_; }
    void take(std::size_t n);
    bool read_magic();
    bool read_header();
    void stop(Trouble trouble);

    std::vector<std::uint8_t> buffer_;
    std::size_t at_ = 0;          // the first byte of buffer_ not yet read
    std::uint64_t taken_ = 0;     // input bytes read into the header and records
    std::uint64_t fed_ = 0;       // input bytes given
    std::uint64_t stop_at_ = 0;   // where reading stopped, for the sentence
    std::uint32_t cut_record_ = 0;  // the length of the record a cut fell in; 0 when unknown
    std::uint16_t version_ = 0;
    Stage stage_ = Stage::Magic;
    RecordingFormat format_ = RecordingFormat::Undecided;
    Trouble trouble_ = Trouble::None;
    bool finished_ = false;
    bool header_ok_ = false;
    RecordingHeader header_;
    std::int64_t last_us_ = 0;
    std::uint64_t skipped_ = 0;
};

}  // namespace sensor
