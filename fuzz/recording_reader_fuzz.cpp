// Arbitrary bytes through the recording reader, as a damaged or foreign file gives them. The first
// byte picks the chunk size, so records and the header are split at every place. Whatever comes
// in, the reader ends, yields no record it was not given whole, and says at most one sentence.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "recording/recording_encoder.h"
#include "recording/recording_reader.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t chunk = data[0] % 64 + 1;
    const std::span<const std::uint8_t> input(data + 1, size - 1);

    // As given, and behind a valid header, so the records' part is reached too.
    std::vector<std::uint8_t> recording;
    sensor::encode_header(sensor::RecordingHeader{}, recording);
    recording.insert(recording.end(), input.begin(), input.end());

    for (const std::span<const std::uint8_t> bytes : {input, std::span<const std::uint8_t>(recording)}) {
        sensor::RecordingReader reader;
        sensor::Record record;
        std::size_t received = 0;
        std::size_t records = 0;
        for (std::size_t at = 0; at < bytes.size(); at += chunk) {
            reader.feed(bytes.subspan(at, std::min(chunk, bytes.size() - at)));
            while (reader.next(record)) {
                ++records;
                received += record.bytes.size();
                check(record.us >= 0);
            }
        }
        reader.finish();
        while (reader.next(record)) {
            ++records;
            received += record.bytes.size();
            check(record.us >= 0);
        }
        check(!reader.next(record));
        // A record's bytes come from the input: never more than it held.
        check(received <= bytes.size());
        if (reader.format() == sensor::RecordingFormat::Raw) check(received == bytes.size());
        const std::string trouble = reader.trouble("fuzz.bin");
        check(trouble.find('\n') == std::string::npos);
        check(trouble.empty() || trouble.back() == '.');
        if (bytes.data() == recording.data()) check(reader.format() == sensor::RecordingFormat::Timed && reader.header_read());
    }
    return 0;
}
