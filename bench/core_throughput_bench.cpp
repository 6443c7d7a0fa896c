// Bytes per second through the receiver and the frame-end sequence, text formatting and the
// recorder's line included: the work the panel does for every byte the board sends. And the
// recording reader over an hour of a recording, as a replay or sensor-decode reads an 8-hour one.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <span>
#include <vector>

#include "panel/panel_logic.h"
#include "recording/recording_encoder.h"
#include "recording/recording_reader.h"
#include "tests/support/random_frames.h"

namespace {

void BM_CoreThroughput(benchmark::State& state) {
    const auto bytes = sensor::testing::random_frames(4096, 5);
    const char sep = state.range(0) ? ',' : '.';
    sensor::PanelLogic panel(sep);
    panel.Load();
    panel.cells().Command1 = "STOP";  // a run is on, so every 50th frame builds a log line
    std::size_t lines = 0;
    for (auto _ : state) {
        for (auto ch : bytes) {
            if (!panel.receive(ch).frame_ended) continue;
            if (const auto& line = panel.last_frame().log_line) lines += line->size();
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.counters["line_rate_multiple"] = benchmark::Counter(
        static_cast<double>(state.iterations() * bytes.size()) / 1920.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CoreThroughput)->Arg(0)->Arg(1)->ArgName("comma")->Unit(benchmark::kMillisecond);

// An hour at the line rate as the serial link reads it: 115 bytes every 60 ms, each read a record.
const std::vector<std::uint8_t>& hour_recording() {
    static const std::vector<std::uint8_t> recording = [] {
        const auto frames = sensor::testing::random_frames(4096, 7);
        std::vector<std::uint8_t> out;
        sensor::encode_header(sensor::RecordingHeader{}, out);
        constexpr std::size_t kRead = 115;
        std::size_t at = 0;
        for (std::int64_t us = 0; us < 3'600'000'000; us += 60'000) {
            if (at + kRead > frames.size()) at = 0;
            sensor::encode_received(us, std::span(frames).subspan(at, kRead), out);
            at += kRead;
        }
        return out;
    }();
    return recording;
}

void BM_RecordingReader(benchmark::State& state) {
    const std::vector<std::uint8_t>& recording = hour_recording();
    std::int64_t received = 0;
    for (auto _ : state) {
        sensor::RecordingReader reader;
        sensor::Record record;
        received = 0;
        for (std::size_t at = 0; at < recording.size(); at += 65'536) {
            reader.feed(std::span(recording).subspan(at, std::min<std::size_t>(65'536, recording.size() - at)));
            while (reader.next(record)) received += static_cast<std::int64_t>(record.bytes.size());
        }
        reader.finish();
        while (reader.next(record)) received += static_cast<std::int64_t>(record.bytes.size());
        benchmark::DoNotOptimize(received);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * recording.size()));
    // Recorded time read per second: an 8-hour recording reads in 8 h / this.
    state.counters["line_rate_multiple"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(received) / 1920.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RecordingReader)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
