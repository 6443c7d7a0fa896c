// Trends figures, printed as Markdown rows: the time to draw the three plots over a full history at
// the 10 min and 8 h spans, memory after eight hours of frames against after ten minutes, the
// export of a full ten-minute view, the redraw rate and event-loop lateness in a flood of frames,
// and the CPU time at the line rate at every span. Each figure stands beside something measured in
// the same run.
// Usage: trends_bench [--smoke] [--line-rate]   (--smoke: a fraction of the work, for CI;
// --line-rate: only the CPU time at the line rate, at every span, for trying a change quickly)
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "trends/column_reduction.h"
#include "trends/history.h"
#include "trends/range_export.h"
#include "trends/window/range_file.h"
#include "trends/window/trend_picture.h"
#include "trends/window/trends_window.h"
#include "trends/view_grid.h"

using namespace sensor;

namespace {

constexpr std::int64_t kFrameNs = 8'854'167;  // 17 bytes of 10 bits at 19200 baud
constexpr int kPlotWidth = 1000;
constexpr std::int64_t kSecondNs = 1'000'000'000;
const std::array<int, 5> kSpans{10, 60, 600, 3600, 8 * 3600};

ViewGrid grid_for(int span_s) { return ViewGrid(span_s * kSecondNs, kPlotWidth, span_s > 600 ? TimeBlocks::kBlockNs : 1); }

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

long rss_kib() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return 0;
}

// A frame that changes a little every time, with marks and both verdicts now and then.
FrameResult frame(std::uint64_t i) {
    FrameResult f;
    const double t = static_cast<double>(i) / 113.0;
    for (std::size_t m = 0; m < 3; ++m) {
        f.ultrasonic_m[m] = 1.2 + 0.8 * std::sin(t / 6 + static_cast<double>(m)) + 0.01 * static_cast<double>(i % 7);
        const double cm = 35 + 25 * std::sin(t / 5 + 2.0 * static_cast<double>(m));
        f.infrared_cm[m] = cm < 11 ? InfraredDistance{InfraredMark::Err, 0}
                         : cm > 59 ? InfraredDistance{InfraredMark::Ok, 0}
                                   : InfraredDistance{InfraredMark::Number, cm + 0.1 * static_cast<double>(i % 5)};
    }
    for (std::size_t g = 0; g < 2; ++g) {
        f.ground[g] = std::fmod(t + static_cast<double>(g), 12.0) < 2.0 ? 90 + static_cast<int>(i % 13) : 620 - static_cast<int>(i % 17);
        f.verdict[g] = f.ground[g] > 150 ? Verdict::White : Verdict::Black;
    }
    return f;
}

struct DrawFigures {
    double reduce_p50 = 0, reduce_p99 = 0;
    double full_p50 = 0, full_p99 = 0;
    double empty_p50 = 0, empty_p99 = 0;
    double frame_by_frame_p50 = 0;
};

// Reduction plus painting of the three plots into images, as a redraw of the window from nothing
// does, over `history` at one span.
DrawFigures measure_drawing(const History& history, int span_s, int repeats, bool walk) {
    const ViewGrid grid = grid_for(span_s);
    const std::int64_t end = grid.end_after(history.newest_ns());
    std::array<TrendPicture, 3> plots{TrendPicture(PlotKind::Ultrasonic), TrendPicture(PlotKind::Infrared),
                                      TrendPicture(PlotKind::Ground)};
    plots[2].set_time_labels(true);
    plots[0].set_marker_labels(true);
    const QSize size(kPlotWidth + TrendPicture::kLeftMargin + TrendPicture::kRightMargin, 200);
    std::array<QImage, 3> images;
    for (QImage& image : images) image = QImage(size, QImage::Format_ARGB32_Premultiplied);

    const History none(1, TimeBlocks::kBlockNs);
    ReducedColumns columns, empty;
    reduce_columns(history, grid, end, columns);
    reduce_columns(none, grid, end, empty);  // same axes, no frames

    auto paint = [&](const ReducedColumns& c, const History& h) {
        for (std::size_t i = 0; i < 3; ++i) plots[i].render(images[i], c, h, QApplication::font(), QApplication::palette());
    };

    DrawFigures f;
    std::vector<double> reduce_ms, full_ms, empty_ms, walk_ms;
    QElapsedTimer clock;
    for (int r = 0; r < repeats; ++r) {
        clock.start();
        reduce_columns(history, grid, end + (r % 2) * grid.column_ns(), columns);
        reduce_ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        paint(columns, history);
        full_ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);

        clock.start();
        paint(empty, none);
        empty_ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);

        if (walk && r % 10 == 0) {
            // What the block summaries save: every frame of the span read one by one.
            clock.start();
            FrameSummary all;
            for (std::uint64_t i = history.begin_index(); i < history.end_index(); ++i) history.add_to(i, all);
            walk_ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
            if (all.channels[0].values == 0) std::puts("");  // keeps the walk from being optimised away
        }
    }
    f.reduce_p50 = percentile(reduce_ms, 0.5);
    f.reduce_p99 = percentile(reduce_ms, 0.99);
    f.full_p50 = percentile(full_ms, 0.5);
    f.full_p99 = percentile(full_ms, 0.99);
    f.empty_p50 = percentile(empty_ms, 0.5);
    f.empty_p99 = percentile(empty_ms, 0.99);
    f.frame_by_frame_p50 = percentile(walk_ms, 0.5);
    return f;
}

History& line_rate_history(std::uint64_t frames) {
    static History history;
    for (std::uint64_t i = history.end_index(); i < frames; ++i) {
        FrameResult f = frame(i);
        f.index = i + 1;
        history.add(static_cast<std::int64_t>(i) * kFrameNs, f);
    }
    return history;
}

struct ExportFigures {
    double export_ms = 0;
    double plain_ms = 0;
    std::uint64_t rows = 0;
    double megabytes = 0;
};

// The export of a full ten-minute view to a file, beside writing the same bytes as they are.
ExportFigures measure_export(const History& history, int repeats) {
    ExportFigures f;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("view.csv"));
    const std::int64_t end = history.newest_ns() + 1;
    const std::int64_t begin = end - 600 * kSecondNs;
    std::vector<double> export_ms, plain_ms;
    QElapsedTimer clock;
    for (int r = 0; r < repeats; ++r) {
        clock.start();
        const QString failed = save_range_csv(history, begin, end, {}, path);
        export_ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        if (!failed.isEmpty()) std::fprintf(stderr, "%s\n", qUtf8Printable(failed));
        QFile written(path);
        written.open(QIODevice::ReadOnly);
        const QByteArray bytes = written.readAll();
        clock.start();
        QFile plain(dir.filePath(QStringLiteral("plain.csv")));
        plain.open(QIODevice::WriteOnly);
        plain.write(bytes);
        plain.close();
        plain_ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        f.rows = static_cast<std::uint64_t>(bytes.count('\n')) - 1;
        f.megabytes = static_cast<double>(bytes.size()) / 1e6;
    }
    f.export_ms = percentile(export_ms, 0.5);
    f.plain_ms = percentile(plain_ms, 0.5);
    return f;
}

struct MemoryFigures {
    long before_kib = 0, ten_minutes_kib = 0, long_kib = 0;
};

// Eight hours of frames at line-rate time stamps, fed as fast as they go into the shown window at
// its eight-hour span, with the event loop turning so the redraws happen as they would.
MemoryFigures measure_memory(double hours) {
    MemoryFigures m;
    m.before_kib = rss_kib();
    History history;
    TrendsWindow window(history);
    window.resize(kPlotWidth + TrendPicture::kLeftMargin + TrendPicture::kRightMargin, 700);
    window.set_span_seconds(8 * 3600);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) std::fputs("The Trends window was never shown; figures are without painting.\n", stderr);
    const auto ten_minutes = static_cast<std::uint64_t>(600e9 / kFrameNs);
    const auto total = static_cast<std::uint64_t>(hours * 3600e9 / kFrameNs);
    for (std::uint64_t i = 0; i < total; ++i) {
        history.add(static_cast<std::int64_t>(i) * kFrameNs, frame(i));
        window.frame_added();
        if (i % 20'000 == 0) {
            window.redraw_now();
            QCoreApplication::processEvents();
        }
        if (i + 1 == ten_minutes) m.ten_minutes_kib = rss_kib();
    }
    window.redraw_now();
    QCoreApplication::processEvents();
    m.long_kib = rss_kib();
    return m;
}

struct FloodFigures {
    std::uint64_t frames = 0;
    double seconds = 0;
    int redraws_max_per_second = 0;
    int redraws_total = 0;
    double late_p99_ms = 0;
    double idle_late_p99_ms = 0;
};

// Lateness of a 10 ms timer over `ms`, while `work` runs between timer events.
std::vector<double> timer_lateness(int ms, const std::function<void()>& work) {
    std::vector<double> late;
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    qint64 last = clock.nsecsElapsed();
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        late.push_back(std::max(0.0, static_cast<double>(now - last) / 1e6 - 10.0));
        last = now;
    });
    tick.start(10);
    QTimer feeder;
    if (work) {
        QObject::connect(&feeder, &QTimer::timeout, work);
        feeder.start(0);
    }
    QTest::qWait(ms);
    return late;
}

// Frames stamped with the real clock, fed as fast as the event loop lets them in, into the shown
// window at its 10 s span, where the picture moves on most often.
FloodFigures measure_flood(int ms) {
    FloodFigures f;
    History history;
    TrendsWindow window(history);
    window.resize(kPlotWidth + TrendPicture::kLeftMargin + TrendPicture::kRightMargin, 700);
    window.set_span_seconds(10);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) std::fputs("The Trends window was never shown; figures are without painting.\n", stderr);

    f.idle_late_p99_ms = percentile(timer_lateness(std::min(ms, 3000), {}), 0.99);

    std::vector<int> per_second;
    QElapsedTimer clock;
    clock.start();
    int redraws_at_second = window.redraw_count();
    qint64 second_end = 1000;
    const auto work = [&] {
        // A batch per turn of the event loop, as a port hands over a chunk of bytes.
        for (int i = 0; i < 500; ++i) {
            history.add(std::chrono::steady_clock::now(), frame(f.frames++));
            window.frame_added();
        }
        if (clock.elapsed() >= second_end) {
            per_second.push_back(window.redraw_count() - redraws_at_second);
            redraws_at_second = window.redraw_count();
            second_end += 1000;
        }
    };
    const int redraws_before = window.redraw_count();
    const std::vector<double> late = timer_lateness(ms, work);
    f.seconds = static_cast<double>(clock.elapsed()) / 1e3;
    f.late_p99_ms = percentile(late, 0.99);
    f.redraws_total = window.redraw_count() - redraws_before;
    f.redraws_max_per_second = per_second.empty() ? 0 : *std::max_element(per_second.begin(), per_second.end());
    return f;
}

struct LineRateFigures {
    double hidden_percent = 0;
    std::array<double, kSpans.size()> shown_percent{};
    std::array<double, kSpans.size()> redraws_per_second{};
};

double process_cpu_ms() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Frames at the line rate, stamped with the real clock, over a history already ten minutes full;
// the process's CPU time with the window hidden (Trends closed: frames are still recorded) and
// shown at each span. Only the Trends share: no port, no panel.
LineRateFigures measure_line_rate(int ms) {
    History history;
    const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch()).count();
    const auto held = static_cast<std::int64_t>(History::kDefaultCapacity);
    for (std::int64_t i = 0; i < held; ++i) history.add(now - (held - i) * kFrameNs, frame(static_cast<std::uint64_t>(i)));
    TrendsWindow window(history);
    window.resize(kPlotWidth + TrendPicture::kLeftMargin + TrendPicture::kRightMargin, 700);

    std::uint64_t fed = 0;
    QElapsedTimer clock;
    QTimer feeder;
    feeder.setTimerType(Qt::PreciseTimer);
    QObject::connect(&feeder, &QTimer::timeout, [&] {
        const auto due = static_cast<std::uint64_t>(clock.nsecsElapsed() / kFrameNs);
        for (; fed < due; ++fed) {
            history.add(std::chrono::steady_clock::now(), frame(static_cast<std::uint64_t>(held) + fed));
            window.frame_added();
        }
    });
    auto phase = [&](bool shown, double& percent, int* redraws_out) {
        if (shown) {
            window.show();
            if (!QTest::qWaitForWindowExposed(&window)) std::fputs("The Trends window was never shown.\n", stderr);
        } else {
            window.hide();
        }
        QTest::qWait(500);  // settle: the first redraw after showing is not the steady state
        const int redraws = window.redraw_count();
        fed = 0;
        clock.start();
        feeder.start(10);
        const double cpu = process_cpu_ms();
        QTest::qWait(ms);
        percent = (process_cpu_ms() - cpu) / static_cast<double>(clock.elapsed()) * 100;
        feeder.stop();
        if (redraws_out) *redraws_out = window.redraw_count() - redraws;
    };
    LineRateFigures f;
    phase(false, f.hidden_percent, nullptr);
    for (std::size_t s = 0; s < kSpans.size(); ++s) {
        int redraws = 0;
        window.set_span_seconds(kSpans[s]);
        phase(true, f.shown_percent[s], &redraws);
        f.redraws_per_second[s] = redraws / (ms / 1e3);
    }
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("sensor-panel-bench"));  // keeps the user's settings apart
    if (QCoreApplication::arguments().contains(QStringLiteral("--line-rate"))) {
        const LineRateFigures r = measure_line_rate(smoke ? 1000 : 10000);
        for (std::size_t s = 0; s < kSpans.size(); ++s) {
            std::printf("%s: %.2f %% of a core, %.1f redraws a second, %.2f x hidden (%.2f %%)\n", span_text(kSpans[s]).c_str(),
                        r.shown_percent[s], r.redraws_per_second[s], r.shown_percent[s] / std::max(r.hidden_percent, 0.01),
                        r.hidden_percent);
        }
        return 0;
    }

    // Memory first, while the process holds nothing else of ours.
    const double hours = smoke ? 0.25 : 8.0;
    const MemoryFigures m = measure_memory(hours);
    const History& ten_minutes = line_rate_history(History::kDefaultCapacity);
    const DrawFigures d = measure_drawing(ten_minutes, 600, smoke ? 20 : 400, true);
    const ExportFigures e = measure_export(ten_minutes, smoke ? 1 : 5);
    const History& long_run = line_rate_history(static_cast<std::uint64_t>(hours * 3600e9 / kFrameNs));
    const DrawFigures d8 = measure_drawing(long_run, 8 * 3600, smoke ? 20 : 400, false);
    const FloodFigures f = measure_flood(smoke ? 1500 : 10000);
    const LineRateFigures r = measure_line_rate(smoke ? 1000 : 20000);

    std::printf("| figure | measured | ratio | goal |\n|---|---|---|---|\n");
    std::printf("| draw the three plots, 10 min span, full history (%zu frames), %d px wide | p50 %.2f ms, p99 %.2f ms | "
                "%.1f × the same plots without data (p50 %.2f ms, p99 %.2f ms) | p99 ≤ 4 ms |\n",
                History::kDefaultCapacity, kPlotWidth, d.full_p50, d.full_p99, d.full_p50 / d.empty_p50, d.empty_p50, d.empty_p99);
    std::printf("| of which the reduction to columns | p50 %.3f ms, p99 %.3f ms | %.2f × reading every frame one by one "
                "(%.3f ms) | (where the time goes) |\n",
                d.reduce_p50, d.reduce_p99, d.reduce_p50 / d.frame_by_frame_p50, d.frame_by_frame_p50);
    std::printf("| draw the three plots, 8 h span, %s of frames at line rate (%llu frames, all but the last ten minutes from "
                "100 ms blocks), %d px wide | p50 %.2f ms, p99 %.2f ms | %.1f × the same plots without data (p50 %.2f ms, "
                "p99 %.2f ms) | p99 ≤ 4 ms |\n",
                smoke ? "15 min" : "8 h", static_cast<unsigned long long>(long_run.end_index()), kPlotWidth, d8.full_p50,
                d8.full_p99, d8.full_p50 / d8.empty_p50, d8.empty_p50, d8.empty_p99);
    std::printf("| of which the reduction to columns | p50 %.3f ms, p99 %.3f ms | | (where the time goes) |\n", d8.reduce_p50,
                d8.reduce_p99);
    std::printf("| memory after %s at line rate, window open at 8 h | %.1f MiB (after 10 min: %.1f MiB; before the history was "
                "made: %.1f MiB) | %+.1f MiB against 10 min (%.2f ×) | ≤ 10 min + 200 MB |\n",
                smoke ? "15 min" : "8 h", static_cast<double>(m.long_kib) / 1024, static_cast<double>(m.ten_minutes_kib) / 1024,
                static_cast<double>(m.before_kib) / 1024, static_cast<double>(m.long_kib - m.ten_minutes_kib) / 1024,
                static_cast<double>(m.long_kib) / static_cast<double>(std::max(m.ten_minutes_kib, 1L)));
    std::printf("| export a full 10 min view as CSV (%llu rows, %.1f MB) | %.0f ms (median of %d) | %.1f × writing the same bytes "
                "as they are (%.1f ms) | ≤ 1 s |\n",
                static_cast<unsigned long long>(e.rows), e.megabytes, e.export_ms, smoke ? 1 : 5,
                e.export_ms / std::max(e.plain_ms, 0.01), e.plain_ms);
    std::printf("| flood: Trends redraws (10 s span) | at most %d in a second (%d in %.1f s, %.0f frames/s = %.0f × line rate) | "
                "%.2f × the cap of 30 | ≤ 30 a second |\n",
                f.redraws_max_per_second, f.redraws_total, f.seconds, static_cast<double>(f.frames) / f.seconds,
                static_cast<double>(f.frames) / f.seconds * kFrameNs / 1e9, f.redraws_max_per_second / 30.0);
    std::printf("| flood: 10 ms timer lateness | p99 %.2f ms | idle window in the same run: p99 %.2f ms | p99 < 50 ms |\n",
                f.late_p99_ms, f.idle_late_p99_ms);
    for (std::size_t s = 0; s < kSpans.size(); ++s) {
        std::printf("| CPU at line rate, Trends' own share, window shown at %s span over a full history | %.2f %% of a core, "
                    "%.1f redraws a second | %.2f × the same with the window hidden (%.2f %%) | (the whole panel's figure: with "
                    "the main window) |\n",
                    span_text(kSpans[s]).c_str(), r.shown_percent[s], r.redraws_per_second[s],
                    r.shown_percent[s] / std::max(r.hidden_percent, 0.01), r.hidden_percent);
    }
    return 0;
}
