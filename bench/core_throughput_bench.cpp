// Bytes per second through the receiver and the frame-end sequence, text formatting and the
// recorder's line included: the work the panel does for every byte the board sends.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "panel/panel_logic.h"
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

}  // namespace

BENCHMARK_MAIN();
