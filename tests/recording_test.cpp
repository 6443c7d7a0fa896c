// The recording with times without a file or a clock: what the encoder writes the reader gives
// back, whatever the chunks; a cut anywhere reads up to it and is said once; raw captures still
// read; and the flush rule and the replay's pace as tables of fixed times.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "recording/flush_rule.h"
#include "recording/recorded_time.h"
#include "recording/recording_encoder.h"
#include "recording/recording_reader.h"
#include "recording/replay_pace.h"
#include "tests/support/random_frames.h"

using namespace sensor;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytes_of(const std::string& text) { return Bytes(text.begin(), text.end()); }

RecordingHeader a_header() {
    RecordingHeader h;
    h.start_utc_us = 1'796'825'007'412'000;  // 2026-12-09T14:03:27.412Z
    h.program_version = "0.1.0";
    h.port = "/dev/ttyUSB0";
    return h;
}

// Every kind, a burst of reads at one time and a stall between them.
std::vector<Record> some_records() {
    std::vector<Record> records;
    auto received = [&](std::int64_t us, Bytes bytes) { records.push_back({RecordKind::Received, us, std::move(bytes), {}}); };
    received(1'000, {1, 2, 3, 0});
    records.push_back({RecordKind::Command, 1'500, {0x53, 0}, {}});
    received(1'500, {9, 0, 0, 255});
    records.push_back({RecordKind::Marker, 2'000, {}, Marker{7, "Start of the ramp"}});
    received(2'000, {});
    received(1'502'000, Bytes(300, 0x41));
    records.push_back({RecordKind::Marker, 1'502'000, {}, Marker{0, ""}});
    records.push_back({RecordKind::Marker, 1'600'000, {}, Marker{99, "a, \"b\"; c\nd"}});
    received(1'700'000, {0});
    return records;
}

void encode(const Record& r, Bytes& out) {
    switch (r.kind) {
        case RecordKind::Received: encode_received(r.us, r.bytes, out); break;
        case RecordKind::Command: encode_command(r.us, r.bytes, out); break;
        case RecordKind::Marker: encode_marker(r.us, r.marker, out); break;
    }
}

// The recording, and where its header and each record written end.
Bytes recording(const std::vector<Record>& records, std::vector<std::size_t>* ends = nullptr) {
    Bytes out;
    encode_header(a_header(), out);
    if (ends) ends->push_back(out.size());
    for (const Record& r : records) {
        const std::size_t before = out.size();
        encode(r, out);
        if (ends && out.size() > before) ends->push_back(out.size());
    }
    return out;
}

struct Read {
    std::vector<Record> records;
    std::string trouble;
    RecordingFormat format = RecordingFormat::Undecided;
    RecordingHeader header;
};

Read read(const Bytes& input, std::size_t chunk) {
    RecordingReader reader;
    Read r;
    Record record;
    for (std::size_t at = 0; at < input.size(); at += chunk) {
        const std::size_t n = std::min(chunk, input.size() - at);
        reader.feed(std::span(input).subspan(at, n));
        while (reader.next(record)) r.records.push_back(record);
    }
    reader.finish();
    while (reader.next(record)) r.records.push_back(record);
    r.trouble = reader.trouble("run.bin");
    r.format = reader.format();
    r.header = reader.header();
    return r;
}

bool same(const Record& a, const Record& b) {
    return a.kind == b.kind && a.us == b.us && a.bytes == b.bytes && a.marker.frame == b.marker.frame &&
           a.marker.label == b.marker.label;
}

// An empty read writes no record.
std::vector<Record> as_written(std::vector<Record> records) {
    std::erase_if(records, [](const Record& r) { return r.kind == RecordKind::Received && r.bytes.empty(); });
    return records;
}

Bytes received_bytes(const std::vector<Record>& records) {
    Bytes all;
    for (const Record& r : records)
        if (r.kind == RecordKind::Received) all.insert(all.end(), r.bytes.begin(), r.bytes.end());
    return all;
}

}  // namespace

TEST(Recording, EveryKindOfRecordComesBackInAnyChunking) {
    const std::vector<Record> written = as_written(some_records());
    const Bytes input = recording(some_records());
    for (const std::size_t chunk : {std::size_t{1}, std::size_t{2}, std::size_t{5}, std::size_t{13}, std::size_t{4096}}) {
        SCOPED_TRACE(chunk);
        const Read r = read(input, chunk);
        EXPECT_EQ(r.format, RecordingFormat::Timed);
        EXPECT_EQ(r.trouble, "");
        EXPECT_EQ(r.header.start_utc_us, a_header().start_utc_us);
        EXPECT_EQ(r.header.program_version, "0.1.0");
        EXPECT_EQ(r.header.port, "/dev/ttyUSB0");
        EXPECT_EQ(r.header.line_settings, "19200,N,8,1");
        ASSERT_EQ(r.records.size(), written.size());
        for (std::size_t i = 0; i < written.size(); ++i) EXPECT_TRUE(same(r.records[i], written[i])) << "record " << i;
    }

    // A read bigger than one record holds is split, at the same time, with no byte lost.
    Bytes big(200'000);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7);
    const Read split = read(recording({{RecordKind::Received, 5, big, {}}}), 65'536);
    EXPECT_EQ(split.records.size(), 4u);
    EXPECT_EQ(received_bytes(split.records), big);
    for (const Record& r : split.records) EXPECT_EQ(r.us, 5);
}

TEST(Recording, ALaterVersionsNewKindsAndHeaderFieldsAreSkipped) {
    Bytes input = recording({});
    // A header one field longer than this version writes: the length grows by 3.
    input[10] = static_cast<std::uint8_t>(input[10] + 3);
    input.insert(input.end(), {0xAA, 0xBB, 0xCC});
    encode_received(10, Bytes{1, 2}, input);
    const Bytes unknown{42, 4, 0, 0, 0, 'w', 'h', 'a', 't'};
    input.insert(input.end(), unknown.begin(), unknown.end());
    encode_marker(20, Marker{3, "after"}, input);

    const Read r = read(input, 3);
    EXPECT_EQ(r.trouble, "");
    EXPECT_EQ(r.header.port, "/dev/ttyUSB0");
    ASSERT_EQ(r.records.size(), 2u);
    EXPECT_EQ(r.records[0].bytes, (Bytes{1, 2}));
    EXPECT_EQ(r.records[1].marker.label, "after");
}

TEST(Recording, ACutAnywhereInTheLastRecordsReadsUpToItAndSaysSoOnce) {
    std::vector<std::size_t> ends;
    const std::vector<Record> records = some_records();
    const std::vector<Record> written = as_written(records);
    const Bytes whole = recording(records, &ends);
    ASSERT_EQ(ends.size(), written.size() + 1);
    // From inside the fourth-last record to the end.
    for (std::size_t cut = ends[ends.size() - 5] + 1; cut <= whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        const Read r = read(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)), 64);
        const std::size_t whole_records = static_cast<std::size_t>(std::upper_bound(ends.begin(), ends.end(), cut) - ends.begin()) - 1;
        ASSERT_EQ(r.records.size(), whole_records);
        for (std::size_t i = 0; i < whole_records; ++i) EXPECT_TRUE(same(r.records[i], written[i]));
        const bool at_a_boundary = std::find(ends.begin(), ends.end(), cut) != ends.end();
        EXPECT_EQ(r.trouble.empty(), at_a_boundary) << r.trouble;
        if (!at_a_boundary) {
            EXPECT_EQ(r.trouble.rfind("run.bin is cut short at byte " + std::to_string(cut) + ": it reads whole up to ", 0), 0u) << r.trouble;
            EXPECT_EQ(std::count(r.trouble.begin(), r.trouble.end(), '.'), 3) << "one sentence: " << r.trouble;
        }
    }

    // The sentence says where and how much.
    const std::size_t cut = ends.back() - 2;
    EXPECT_EQ(read(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)), 7).trouble,
              "run.bin is cut short at byte " + std::to_string(cut) + ": it reads whole up to 00:00:01.600 (byte " +
                  std::to_string(ends[ends.size() - 2]) + "); the last 12 bytes, part of a record of 14 bytes, are left out.");
}

TEST(Recording, WhatIsNotARecordEndsTheReadingWithOneSentence) {
    const Bytes head = recording({});
    Bytes one = head;
    encode_received(2'500'000, Bytes{1, 2, 3}, one);
    struct Case {
        const char* name;
        Bytes input;
        std::size_t records;
        std::string trouble;
    };
    Bytes zeros = one;
    zeros.resize(zeros.size() + 4096, 0);  // the tail a crash can leave: the length grew, the data did not
    Bytes newer = head;
    newer[8] = 2;
    Bytes too_long = one;
    too_long.insert(too_long.end(), {1, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3});
    const Case cases[] = {
        {"a zero-filled tail", zeros, 1,
         "run.bin holds no valid record at byte " + std::to_string(one.size()) +
             ": it reads whole up to 00:00:02.500; the last 4096 bytes are left out."},
        {"a length no record has", too_long, 1,
         "run.bin holds no valid record at byte " + std::to_string(one.size()) +
             ": it reads whole up to 00:00:02.500; the last 8 bytes are left out."},
        {"a newer format", newer, 0,
         "run.bin is a recording of format version 2, which this program does not read (it reads version 1); open it with "
         "the sensor-panel that made it, or a newer one."},
        {"cut in the header", Bytes(head.begin(), head.end() - 4), 0,
         "run.bin is cut short at byte " + std::to_string(head.size() - 4) + ", inside its header: it holds no records."},
        {"a header only", head, 0, ""},
    };
    for (const Case& c : cases) {
        const Read r = read(c.input, 100);
        EXPECT_EQ(r.records.size(), c.records) << c.name;
        EXPECT_EQ(r.trouble, c.trouble) << c.name;
    }
}

TEST(Recording, AFileWithoutTheMagicIsRawBytesAtTheLineRate) {
    const Bytes frames = sensor::testing::random_frames(200, 3);
    struct Case {
        const char* name;
        Bytes input;
    };
    const Case cases[] = {
        {"frames", frames},
        {"empty", {}},
        {"shorter than the magic, like its start", {0x89, 'S', 'P'}},
        {"the magic's start, then other bytes", {0x89, 'S', 'P', 'R', '\r', '\n', 0x1A, 'x', 5, 0}},
        {"text", bytes_of("a line of text\r\n")},
    };
    for (const Case& c : cases) {
        for (const std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{1000}}) {
            const Read r = read(c.input, chunk);
            EXPECT_EQ(r.format, RecordingFormat::Raw) << c.name;
            EXPECT_EQ(r.trouble, "") << c.name;
            EXPECT_EQ(received_bytes(r.records), c.input) << c.name << ", chunks of " << chunk;
            std::size_t end = 0;
            for (const Record& record : r.records) {
                end += record.bytes.size();
                EXPECT_EQ(record.us, line_place_us(static_cast<std::int64_t>(end) - 1)) << c.name;
            }
        }
    }
}

TEST(Recording, TimesAsReadAndTheLinePlaceOfRawBytes) {
    EXPECT_EQ(recorded_time_text(0), "00:00:00.000");
    EXPECT_EQ(recorded_time_text(83'456'999), "00:01:23.456");
    EXPECT_EQ(recorded_time_text(28'800'000'000), "08:00:00.000");
    // 1,920 bytes a second: the first byte is whole after 521 µs, the 1,920th after a second.
    struct Case {
        std::int64_t index, us;
    };
    for (const Case c : {Case{0, 521}, Case{1, 1042}, Case{1919, 1'000'000}, Case{3839, 2'000'000}}) {
        EXPECT_EQ(line_place_us(c.index), c.us) << c.index;
        EXPECT_EQ(line_bytes_by(c.us), c.index + 1) << c.index;
        EXPECT_EQ(line_bytes_by(c.us - 1), c.index) << c.index;
    }
    EXPECT_EQ(line_bytes_by(ReplayPace::kEverything), ReplayPace::kEverything);
}

TEST(FlushRule, NoByteWaitsMoreThanASecondAndABurstGoesAtOnce) {
    FlushRule rule;
    struct Step {
        const char* what;
        std::int64_t now_ms;
        std::int64_t held;  // bytes held after an append at now_ms; -1 for a timer's wake-up
        bool write;
        std::optional<std::int64_t> deadline;  // after the step (and the write, when one is due)
    };
    const Step steps[] = {
        {"nothing held: no deadline", 0, -1, false, std::nullopt},
        {"the first bytes set the deadline", 10, 100, false, 1010},
        {"more bytes do not move it", 500, 300, false, 1010},
        {"a timer early", 1009, -1, false, 1010},
        {"bytes a millisecond before it", 1009, 400, false, 1010},
        {"the timer on time", 1010, -1, true, std::nullopt},
        {"after a write the next bytes start afresh", 1500, 50, false, 2500},
        {"64 KiB go at once", 1600, 65'536, true, std::nullopt},
        {"bytes again", 3000, 10, false, 4000},
        {"a timer late", 4700, -1, true, std::nullopt},
        {"a quiet line holds nothing", 9000, -1, false, std::nullopt},
        {"one byte", 9001, 1, false, 10'001},
        {"an append at its deadline writes at once", 10'001, 2, true, std::nullopt},
    };
    for (const Step& s : steps) {
        const bool write = s.held < 0 ? rule.due(s.now_ms) : rule.held(s.now_ms, s.held);
        EXPECT_EQ(write, s.write) << s.what;
        if (write) rule.written();
        EXPECT_EQ(rule.deadline_ms(), s.deadline) << s.what;
    }
}

TEST(ReplayPace, AtEachSpeedTheRecordedGapsAreScaled) {
    // Recorded: a frame at 0.1 s, a stall of 1.5 s, the next frame at 1.6 s.
    struct Case {
        double speed;
        std::int64_t first_due_us, after_stall_due_us;
    };
    const Case cases[] = {
        {1, 100'000, 1'600'000},
        {4, 25'000, 400'000},
        {16, 6'250, 100'000},
        {0.25, 400'000, 6'400'000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.speed);
        ReplayPace pace;
        ASSERT_TRUE(pace.set_speed(c.speed, 0));
        const std::int64_t t0 = 5'000'000;  // the monotonic clock's own reading at the start
        pace.start(t0);
        EXPECT_EQ(pace.due_at(100'000, t0), t0 + c.first_due_us);
        EXPECT_FALSE(pace.due(100'000, t0 + c.first_due_us - 1));
        EXPECT_TRUE(pace.due(100'000, t0 + c.first_due_us));
        EXPECT_EQ(pace.due_at(1'600'000, t0 + c.first_due_us), t0 + c.after_stall_due_us);
        EXPECT_FALSE(pace.due(1'600'000, t0 + c.after_stall_due_us - 1));
        EXPECT_TRUE(pace.due(1'600'000, t0 + c.after_stall_due_us));
        EXPECT_EQ(pace.due_at(50'000, t0 + c.first_due_us), t0 + c.first_due_us) << "due already: now";
    }
}

TEST(ReplayPace, PauseResumeAndSpeedChangesMakeUpNoTime) {
    ReplayPace pace;
    struct Step {
        const char* what;
        std::int64_t now_us;
        enum { Look, Pause, Resume, Speed, Deliver, Start } op;
        double arg;
        std::int64_t played_us;  // after the step
    };
    const double fastest = ReplayPace::kFastest;
    const Step steps[] = {
        {"start at the first byte", 1'000'000, Step::Start, 0, 0},
        {"1x: the clock's own time", 1'400'000, Step::Look, 0, 400'000},
        {"a pause holds it", 1'500'000, Step::Pause, 0, 500'000},
        {"however long", 9'000'000, Step::Look, 0, 500'000},
        {"resume goes on from there", 9'000'000, Step::Resume, 0, 500'000},
        {"not from the clock", 9'100'000, Step::Look, 0, 600'000},
        {"4x from the moment it is chosen", 9'100'000, Step::Speed, 4, 600'000},
        {"a quarter second is one recorded", 9'350'000, Step::Look, 0, 1'600'000},
        {"a quarter speed", 9'350'000, Step::Speed, 0.25, 1'600'000},
        {"four seconds are one", 13'350'000, Step::Look, 0, 2'600'000},
        {"as fast as the panel takes it: everything is due", 13'350'000, Step::Speed, fastest, ReplayPace::kEverything},
        {"the handing over got this far", 13'360'000, Step::Deliver, 9'000'000, ReplayPace::kEverything},
        {"a pause there holds where the handing over got to", 13'370'000, Step::Pause, 0, 9'000'000},
        {"1x while paused", 13'380'000, Step::Speed, 1, 9'000'000},
        {"resumed at 1x from there", 20'000'000, Step::Resume, 0, 9'000'000},
        {"the clock's own time again", 20'250'000, Step::Look, 0, 9'250'000},
        {"a restart while playing", 21'000'000, Step::Start, 0, 0},
        {"plays from the first byte", 21'100'000, Step::Look, 0, 100'000},
        {"a speed that is not above zero changes nothing", 21'100'000, Step::Speed, 0, 100'000},
        {"still 1x", 21'200'000, Step::Look, 0, 200'000},
    };
    for (const Step& s : steps) {
        switch (s.op) {
            case Step::Look: break;
            case Step::Pause: pace.pause(s.now_us); break;
            case Step::Resume: pace.resume(s.now_us); break;
            case Step::Speed: pace.set_speed(s.arg, s.now_us); break;
            case Step::Deliver: pace.delivered(static_cast<std::int64_t>(s.arg)); break;
            case Step::Start: pace.start(s.now_us); break;
        }
        EXPECT_EQ(pace.played_us(s.now_us), s.played_us) << s.what;
    }
    pace.pause(21'200'000);
    EXPECT_EQ(pace.due_at(300'000, 21'200'000), -1) << "nothing falls due while paused";
}

TEST(ReplayPace, ARawCaptureIsDueByteByByteAtTheLineRateTimesTheSpeed) {
    struct Case {
        double speed;
        std::int64_t now_us, bytes;
    };
    const Case cases[] = {
        {1, 0, 0},         {1, 520, 0},        {1, 521, 1},          {1, 1'000'000, 1920},
        {4, 250'000, 1920}, {16, 62'500, 1920}, {0.25, 4'000'000, 1920}, {0.25, 3'999'999, 1919},
        {ReplayPace::kFastest, 0, ReplayPace::kEverything},
    };
    for (const Case& c : cases) {
        ReplayPace pace;
        pace.set_speed(c.speed, 0);
        pace.start(0);
        EXPECT_EQ(pace.raw_bytes_due(c.now_us), c.bytes) << c.speed << "x at " << c.now_us;
    }

    // Bytes go out a tick at a time: a pause counts from the last byte handed over, so the bytes
    // due between that tick and the pause are not owed as a burst after it.
    ReplayPace pace;
    pace.set_by_bytes(true);
    pace.start(0);
    EXPECT_EQ(pace.raw_bytes_due(1'000'000), 1920);
    pace.delivered(line_place_us(999));  // the last tick handed over 1,000 of them
    pace.pause(1'000'000);
    pace.resume(5'000'000);
    EXPECT_EQ(pace.raw_bytes_due(5'000'000), 1000);
    EXPECT_EQ(pace.raw_bytes_due(5'000'000 + 520), 1000);
    EXPECT_EQ(pace.raw_bytes_due(5'000'000 + 521), 1001);
    pace.delivered(line_place_us(1000));
    pace.set_speed(4, 5'000'600);  // a new speed likewise
    EXPECT_EQ(pace.raw_bytes_due(5'000'600), 1001);
    EXPECT_EQ(pace.raw_bytes_due(5'000'600 + 131), 1002);
}
