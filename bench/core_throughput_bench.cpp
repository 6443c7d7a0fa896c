// Bytes per second through the receiver and the frame-end sequence, text formatting and the
// recorder's line included: the work the panel does for every byte the board sends.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "panel/panel_logic.h"
#include "sim/frame_encoder.h"

namespace {

std::vector<std::uint8_t> capture(std::size_t frames) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> ir(0, 1023), tof(0, 65535);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(frames * sensor::kFrameLength);
    for (std::size_t n = 0; n < frames; ++n) {
        sensor::BoardReadings r{{ir(rng), ir(rng), ir(rng)}, {tof(rng), tof(rng), tof(rng)}, {ir(rng), ir(rng)}};
        for (auto b : sensor::encode_frame(r)) bytes.push_back(b);
    }
    return bytes;
}

void BM_CoreThroughput(benchmark::State& state) {
    const auto bytes = capture(4096);
    const char sep = state.range(0) ? ',' : '.';
    sensor::PanelLogic panel(sep);
    panel.Load();
    panel.cells().Command1 = "STOP";  // a run is on, so every 50th frame builds a log line
    std::size_t lines = 0;
    for (auto _ : state) {
        for (auto ch : bytes) {
            auto outcome = panel.receive(ch);
            if (outcome.log_line) lines += outcome.log_line->size();
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.counters["line_rate_multiple"] = benchmark::Counter(
        static_cast<double>(state.iterations() * bytes.size()) / 1920.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CoreThroughput)->Arg(0)->Arg(1)->ArgName("comma")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
