// Whole-process measurements of the real panel: the conductor starts each measured process
// (measured_panel.cpp), feeds it through pseudo-terminals and prints the figures as Markdown.
// With --child MODE this binary is one of the measured processes.
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <pty.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "measured_panel.h"
#include "side_by_side.h"
#include "tests/support/pty_pair.h"
#include "trends/view_grid.h"

using namespace sensor;
using namespace sensor::bench;

namespace {


struct Pty {
    int master = -1;
    int slave = -1;
    QString path;
    Pty() {
        if (!testing::open_raw_pty(&master, &slave, &path)) path.clear();
    }
    ~Pty() {
        ::close(master);
        ::close(slave);
    }
};

// Writes frames at bytes_per_second (0: as fast as the line takes) until stop; counts zero bytes.
struct Writer {
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> frames_sent{0};
    std::thread thread;
    Writer(int fd, double bytes_per_second) {
        thread = std::thread([this, fd, bytes_per_second] {
            const QByteArray data = frames(4096, 2);
            const auto frame_ns = static_cast<long>(17e9 / std::max(bytes_per_second, 1.0));
            timespec next{};
            clock_gettime(CLOCK_MONOTONIC, &next);
            for (qsizetype at = 0; !stop; at = (at + 17) % data.size()) {
                if (bytes_per_second > 0) {
                    next.tv_nsec += frame_ns;
                    while (next.tv_nsec >= 1'000'000'000) { next.tv_nsec -= 1'000'000'000; ++next.tv_sec; }
                    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
                }
                qsizetype done = 0;
                while (done < 17 && !stop) {
                    const ssize_t n = ::write(fd, data.constData() + at + done, static_cast<size_t>(17 - done));
                    if (n > 0) done += n;
                    else usleep(200);  // the reader is behind; a flood waits for it rather than drop
                }
                if (done == 17) ++frames_sent;
            }
        });
    }
    void finish() {
        stop = true;
        thread.join();
    }
};

void wait_ms(int ms) { QTest::qWait(ms); }

std::map<std::string, std::string> read_report(QProcess& p) {
    std::map<std::string, std::string> out;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0) out[line.left(eq).toStdString()] = line.mid(eq + 1).toStdString();
    }
    return out;
}

QProcess* start_child(const QStringList& args) {
    auto* p = new QProcess;
    p->setProcessChannelMode(QProcess::SeparateChannels);
    p->start(QCoreApplication::applicationFilePath(), args);
    p->waitForStarted();
    return p;
}

// Feeds each pseudo-terminal at the line rate and, the stream's first 2 s left out, samples the
// processes' CPU shares side by side for `seconds`; the writers stop when it returns.
std::vector<std::vector<double>> shares_at_line_rate(const std::vector<int>& masters, std::vector<qint64> pids, int seconds) {
    std::vector<std::unique_ptr<Writer>> writers;
    for (int fd : masters) writers.push_back(std::make_unique<Writer>(fd, 1920));
    wait_ms(2000);
    Meter meter;
    meter.pids = std::move(pids);
    meter.run(seconds);
    for (auto& w : writers) w->finish();
    return meter.shares;
}

// Keeps one run's samples of a process and of what it is set beside, and the ratio of their
// medians; returns the two medians.
std::pair<double, double> keep_run(const std::vector<double>& a, const std::vector<double>& b, std::vector<double>& all_a,
                                   std::vector<double>& all_b, std::vector<double>& ratios) {
    all_a.insert(all_a.end(), a.begin(), a.end());
    all_b.insert(all_b.end(), b.begin(), b.end());
    const double am = percentile(a, 0.5), bm = percentile(b, 0.5);
    ratios.push_back(bm > 0 ? am / bm : 0);
    return {am, bm};
}

std::map<std::string, std::string> stop_child(QProcess* p) {
    p->write("quit\n");
    p->closeWriteChannel();
    p->waitForFinished(20000);
    auto report = read_report(*p);
    delete p;
    return report;
}

struct Figures {
    std::vector<double> panel_cpu, floor_cpu, terminal_cpu, ratio, terminal_ratio;
    double panel_peak_mib = 0;
    std::uint64_t run_lines = 0;
    bool started_run = false, terminal_ran = false;
    std::vector<double> core_ms, widget_ms, refreshes_per_s;
    std::uint64_t flood_sent = 0, flood_decoded = 0;
    double flood_peak_mib = 0, flood_growth_kib = 0, flood_timer_p99 = 0, flood_refresh_max = 0, flood_rate = 0;
    std::vector<double> startup_ms, demo_ms;
    std::vector<double> idle_no_board, idle_silent_board;
    struct TrendsSpan {
        int seconds = 0;
        std::vector<double> open_cpu, closed_cpu, ratio;
    };
    std::vector<TrendsSpan> trends;
    std::vector<double> sketch_cpu, sketch_floor_cpu, sketch_ratio;
};

int lines_in(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return 0;
    return static_cast<int>(f.readAll().count('\n'));
}

// The shipped sensor-panel, the floor window and (under X, where installed) cutecom, each on its
// own pseudo-terminal at the line rate, measured side by side from outside.
void line_rate(Figures& f, int seconds, int repeats) {
    const bool terminal = on_x() && have("cutecom") && have("xdotool");
    for (int r = 0; r < repeats; ++r) {
        QTemporaryDir dir;
        Pty panel_pty, floor_pty, terminal_pty;
        const QString log = dir.filePath("run.csv");
        QProcess* panel = start_program(QStringLiteral(SENSOR_PANEL_PATH), {"--port", panel_pty.path, "--log", log},
                                        QProcessEnvironment::systemEnvironment());
        QProcess* floor = start_child({"--child", "floor", floor_pty.path});
        QProcess* term = terminal ? start_terminal(terminal_pty.path, dir.filePath("home")) : nullptr;
        wait_ms(1500);
        // START: the panel's button, a run on, so every 50th frame is logged.
        // The others are moved off the panel first: every window opens at the top left.
        if (term) place_and_click(term->processId(), 0, 560, 50, 43);  // its Open button
        place_and_click(floor->processId(), 900, 0, 400, 200);
        f.started_run = place_and_click(panel->processId(), 0, 0, 60, 59) || f.started_run;
        wait_ms(500);
        const bool terminal_open = term && holds_open(term->processId(), terminal_pty.path);
        if (term && !terminal_open) std::fprintf(stderr, "cutecom did not open its port; left out of this run\n");
        std::vector<qint64> pids{panel->processId(), floor->processId()};
        if (terminal_open) pids.push_back(term->processId());
        const auto shares =
            shares_at_line_rate({panel_pty.master, floor_pty.master, terminal_pty.master}, std::move(pids), seconds);
        f.panel_peak_mib = std::max(f.panel_peak_mib, static_cast<double>(process_kib(panel->processId(), "VmHWM:")) / 1024);
        end_program(panel);
        stop_child(floor);
        if (term) end_program(term);
        f.run_lines += static_cast<std::uint64_t>(lines_in(log));
        const auto [pm, fm] = keep_run(shares[0], shares[1], f.panel_cpu, f.floor_cpu, f.ratio);
        double tm = 0;
        if (terminal_open) {
            f.terminal_ran = true;
            const auto& tc = shares[2];
            f.terminal_cpu.insert(f.terminal_cpu.end(), tc.begin(), tc.end());
            tm = percentile(tc, 0.5);
            f.terminal_ratio.push_back(tm > 0 ? pm / tm : 0);
        }
        std::fprintf(stderr, "line rate run %d: panel %.2f %% of a core, floor %.2f %%, cutecom %.2f %%; %d log lines\n",
                     r + 1, pm * 100, fm * 100, tm * 100, lines_in(log));
    }
}

// The lower bound beside the floor: the sketch of a panel that does nothing but paint its cells
// at the display's pace (measured_panel.cpp), each on its own pseudo-terminal at the line rate.
void lower_bound(Figures& f, int seconds, int repeats, const QString& variant = {}) {
    for (int r = 0; r < repeats; ++r) {
        Pty sketch_pty, floor_pty;
        QProcess* sketch = start_child({"--child", "sketch", sketch_pty.path, variant});
        QProcess* floor = start_child({"--child", "floor", floor_pty.path});
        wait_ms(1500);
        place_and_click(floor->processId(), 900, 0, 400, 200);
        const auto shares =
            shares_at_line_rate({sketch_pty.master, floor_pty.master}, {sketch->processId(), floor->processId()}, seconds);
        stop_child(sketch);
        stop_child(floor);
        const auto [sm, fm] = keep_run(shares[0], shares[1], f.sketch_cpu, f.sketch_floor_cpu, f.sketch_ratio);
        std::fprintf(stderr, "lower bound run %d%s%s: sketch %.2f %% of a core, floor %.2f %%\n", r + 1,
                     variant.isEmpty() ? "" : ", variant ", qUtf8Printable(variant), sm * 100, fm * 100);
    }
}

// Two shipped panels at the line rate, a run on in each, one with Trends open at the span: what
// Trends costs, as a ratio to the same panel in the same seconds.
void trends_side_by_side(Figures& f, int span_s, int seconds, int repeats) {
    Figures::TrendsSpan& figures = f.trends.emplace_back();
    figures.seconds = span_s;
    for (int r = 0; r < repeats; ++r) {
        QTemporaryDir dir;
        Pty open_pty, closed_pty;
        // Each panel has a home of its own, so its settings (the Trends span) are its own.
        const auto env_for = [&](const QString& home, bool trends) {
            QDir().mkpath(home + "/.config/sensor-panel");
            QFile conf(home + "/.config/sensor-panel/sensor-panel.conf");
            if (conf.open(QIODevice::WriteOnly)) {
                conf.write(trends ? QStringLiteral("[trends]\nspan=%1\nopen=true\ngeometry=@ByteArray()\n").arg(span_s).toUtf8()
                                  : QByteArray("[trends]\nopen=false\n"));
            }
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("HOME", home);
            env.insert("XDG_CONFIG_HOME", home + "/.config");
            return env;
        };
        QProcess* with = start_program(QStringLiteral(SENSOR_PANEL_PATH),
                                       {"--port", open_pty.path, "--log", dir.filePath("a.csv"), "--trends"},
                                       env_for(dir.filePath("open"), true));
        QProcess* without = start_program(QStringLiteral(SENSOR_PANEL_PATH), {"--port", closed_pty.path, "--log", dir.filePath("b.csv")},
                                          env_for(dir.filePath("closed"), false));
        wait_ms(1500);
        place_and_click(without->processId(), 900, 600, 60, 59);
        place_and_click(with->processId(), 0, 0, 60, 59);
        const auto shares =
            shares_at_line_rate({open_pty.master, closed_pty.master}, {with->processId(), without->processId()}, seconds);
        end_program(with);
        end_program(without);
        const auto [om, cm] = keep_run(shares[0], shares[1], figures.open_cpu, figures.closed_cpu, figures.ratio);
        std::fprintf(stderr, "trends at %s, run %d: open %.2f %% of a core, closed %.2f %%\n", span_text(span_s).c_str(), r + 1, om * 100,
                     cm * 100);
    }
}

void trends_side_by_side(Figures& f, const std::vector<int>& spans, int seconds, int repeats) {
    for (const int span : spans) trends_side_by_side(f, span, seconds, repeats);
}

void print_trends(const Figures& f) {
    auto pct = [](double x) { return x * 100; };
    for (const Figures::TrendsSpan& t : f.trends) {
        std::printf("| CPU at line rate with Trends open at its %s span, beside the same panel with Trends closed (%zu × %zu s) | "
                    "%.2f %% of a core (median second) | closed %.2f %%; p90 open %.2f %%, closed %.2f %% | %.2f × Trends closed "
                    "(per-run ratios %s) | ≤ 1.5 × Trends closed |\n",
                    span_text(t.seconds).c_str(), t.ratio.size(), t.open_cpu.size() / std::max<std::size_t>(t.ratio.size(), 1),
                    pct(percentile(t.open_cpu, 0.5)), pct(percentile(t.closed_cpu, 0.5)), pct(percentile(t.open_cpu, 0.9)),
                    pct(percentile(t.closed_cpu, 0.9)), percentile(t.ratio, 0.5), join(t.ratio).c_str());
    }
}

// The shipped panel with no board (a port that does not exist: the retry timer runs) and with a
// board that sends nothing (an open pseudo-terminal).
void idle(Figures& f, int seconds) {
    QTemporaryDir dir;
    Pty silent;
    QProcess* none = start_program(QStringLiteral(SENSOR_PANEL_PATH),
                                   {"--port", "/dev/ttyNoSuchBoard", "--log", dir.filePath("a.csv")},
                                   QProcessEnvironment::systemEnvironment());
    QProcess* quiet = start_program(QStringLiteral(SENSOR_PANEL_PATH), {"--port", silent.path, "--log", dir.filePath("b.csv")},
                                    QProcessEnvironment::systemEnvironment());
    // Measured from after the silent board's one no-frames hint (at 3 s), so what is measured is
    // the steady idle: the retry and status timers.
    wait_ms(4500);
    Meter meter;
    meter.pids = {none->processId(), quiet->processId()};
    meter.run(seconds);
    f.idle_no_board = meter.shares[0];
    f.idle_silent_board = meter.shares[1];
    end_program(none);
    end_program(quiet);
}

void flood(Figures& f, int seconds) {
    QTemporaryDir dir;
    Pty pty;
    QProcess* panel = start_child({"--child", "panel", pty.path, dir.filePath("flood.csv"), "timed"});
    wait_ms(1500);
    Writer w(pty.master, 0);
    wait_ms(seconds * 1000);
    w.finish();
    wait_ms(2000);  // let the panel drain what the line still holds
    const auto r = stop_child(panel);
    f.flood_sent = w.frames_sent;
    f.flood_decoded = std::stoull(r.at("frames"));
    f.flood_rate = static_cast<double>(f.flood_sent) / seconds;
    f.flood_peak_mib = std::stod(r.at("peak_rss_kib")) / 1024;
    const auto rss = parse_list(r.at("rss_kib"));
    // First and last second of the flood itself (start-up and drain excluded).
    if (rss.size() > static_cast<std::size_t>(seconds) + 1) f.flood_growth_kib = rss[static_cast<std::size_t>(seconds)] - rss[2];
    f.flood_timer_p99 = std::stod(r.at("timer_late_p99_ms"));
    f.flood_refresh_max = std::stod(r.at("refresh_max_per_s"));
    std::fprintf(stderr, "flood: %llu frames sent, %llu decoded\n", static_cast<unsigned long long>(f.flood_sent),
                 static_cast<unsigned long long>(f.flood_decoded));
}

void latency(Figures& f, int seconds) {
    QProcess* p = start_child({"--child", "latency", QString::number(seconds)});
    p->waitForFinished(seconds * 1000 + 20000);
    const auto r = read_report(*p);
    delete p;
    f.core_ms = parse_list(r.at("core_ms"));
    f.widget_ms = parse_list(r.at("widget_ms"));
    f.refreshes_per_s = parse_list(r.at("refreshes_per_s"));
}

void startup(Figures& f, int repeats) {
    for (bool demo : {false, true}) {
        for (int i = 0; i < repeats; ++i) {
            QElapsedTimer clock;
            clock.start();
            QProcess* p = start_child(demo ? QStringList{"--child", "startup", "demo"} : QStringList{"--child", "startup"});
            p->waitForReadyRead(10000);
            (demo ? f.demo_ms : f.startup_ms).push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
            p->waitForFinished(10000);
            delete p;
        }
    }
}

void print(const Figures& f, int seconds, int repeats) {
    auto pct = [](double x) { return x * 100; };
    const double floor_median = percentile(f.floor_cpu, 0.5);
    std::printf("Display: %s. START clicked in the panel: %s; log lines written at line rate: %llu.\n\n",
                on_x() ? "X (Xvfb), the windows shown" : "Qt offscreen", f.started_run ? "yes" : "no (no X or no xdotool)",
                static_cast<unsigned long long>(f.run_lines));
    std::printf("| figure | measured | spread | ratio | goal |\n|---|---|---|---|---|\n");
    std::printf("| CPU at line rate, shipped `sensor-panel` (%d × %d s) | %.2f %% of a core (median second) | p10 %.2f %%, p90 %.2f %% "
                "| %.2f × the floor (floor median %.2f %%, p10 %.2f %%, p90 %.2f %%; per-run ratios %s) | ≤ 1.5 × the floor |\n",
                repeats, seconds, pct(percentile(f.panel_cpu, 0.5)), pct(percentile(f.panel_cpu, 0.1)),
                pct(percentile(f.panel_cpu, 0.9)), percentile(f.ratio, 0.5), pct(floor_median),
                pct(percentile(f.floor_cpu, 0.1)), pct(percentile(f.floor_cpu, 0.9)), join(f.ratio).c_str());
    if (!f.sketch_ratio.empty())
        std::printf("| the lower bound: a sketch that only paints the panel's 19 cells at the display's pace (one widget, texts laid "
                    "out before the run, the port read every 60 ms), beside the floor (%d × %d s) | %.2f %% of a core (median second) "
                    "| p10 %.2f %%, p90 %.2f %% | %.2f × the floor (floor median %.2f %%; per-run ratios %s) | |\n",
                    repeats, seconds, pct(percentile(f.sketch_cpu, 0.5)), pct(percentile(f.sketch_cpu, 0.1)),
                    pct(percentile(f.sketch_cpu, 0.9)), percentile(f.sketch_ratio, 0.5),
                    pct(percentile(f.sketch_floor_cpu, 0.5)), join(f.sketch_ratio).c_str());
    print_trends(f);
    if (f.terminal_ran)
        std::printf("| the same beside cutecom showing the same stream | cutecom %.2f %% of a core (median second) | p10 %.2f %%, "
                    "p90 %.2f %% | panel %.2f × cutecom (per-run ratios %s) | ≤ 0.5 × that terminal |\n",
                    pct(percentile(f.terminal_cpu, 0.5)), pct(percentile(f.terminal_cpu, 0.1)),
                    pct(percentile(f.terminal_cpu, 0.9)), percentile(f.terminal_ratio, 0.5), join(f.terminal_ratio).c_str());
    else
        std::printf("| the same beside cutecom | not measured: needs X, cutecom and xdotool | | | ≤ 0.5 × that terminal |\n");
    std::printf("| idle, no board (port absent, retried every 2 s) | %.3f %% of a core (median second) | max %.3f %% over %zu s "
                "| | ≤ 0.1 %% |\n",
                pct(percentile(f.idle_no_board, 0.5)), pct(percentile(f.idle_no_board, 1)), f.idle_no_board.size());
    std::printf("| idle, a board that sends nothing (port open) | %.3f %% of a core (median second) | max %.3f %% over %zu s "
                "| | ≤ 0.1 %% |\n",
                pct(percentile(f.idle_silent_board, 0.5)), pct(percentile(f.idle_silent_board, 1)), f.idle_silent_board.size());
    std::printf("| peak memory at line rate (shipped panel) | %.1f MiB | max over runs | | < 40 MB |\n", f.panel_peak_mib);
    std::printf("| peak memory in a flood | %.1f MiB | growth first → last second: %.0f KiB | | < 40 MB; no growth |\n",
                f.flood_peak_mib, f.flood_growth_kib);
    std::printf("| latency (a) zero byte → cells | p50 %.2f ms, p99 %.2f ms | %zu frames | | |\n",
                percentile(f.core_ms, 0.5), percentile(f.core_ms, 0.99), f.core_ms.size());
    std::printf("| latency (b) zero byte → the cell painted with its new text | p50 %.1f ms, p99 %.1f ms | max %.1f ms, %zu frames "
                "| | p99 ≤ 70 ms |\n",
                percentile(f.widget_ms, 0.5), percentile(f.widget_ms, 0.99), percentile(f.widget_ms, 1), f.widget_ms.size());
    std::printf("| cell refreshes while frames arrive at the line rate | median %.0f a second | min %.0f, max %.0f over %zu s | | "
                "≥ 15 a second |\n",
                percentile(f.refreshes_per_s, 0.5), percentile(f.refreshes_per_s, 0), percentile(f.refreshes_per_s, 1),
                f.refreshes_per_s.size());
    std::printf("| flood: frames sent / decoded | %llu / %llu | %.0f frames/s (%.0f × line rate) | | equal |\n",
                static_cast<unsigned long long>(f.flood_sent), static_cast<unsigned long long>(f.flood_decoded), f.flood_rate,
                f.flood_rate / (1920.0 / 17));
    std::printf("| flood: 10 ms timer lateness | p99 %.2f ms | | | p99 < 50 ms |\n", f.flood_timer_p99);
    std::printf("| flood: widget refreshes | at most %.0f a second | | | ≤ 25 a second |\n", f.flood_refresh_max);
    std::printf("| start-up to window shown | median %.0f ms | max %.0f ms over %zu | | < 300 ms |\n", percentile(f.startup_ms, 0.5),
                percentile(f.startup_ms, 1), f.startup_ms.size());
    std::printf("| start-up with --demo to first frame shown | median %.0f ms | max %.0f ms over %zu | | < 500 ms |\n",
                percentile(f.demo_ms, 0.5), percentile(f.demo_ms, 1), f.demo_ms.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() >= 3 && args[1] == "--child") {
        const QString mode = args[2];
        if (mode == "panel" && args.size() >= 5) return child_panel(args[3], args[4], args.size() >= 6 ? args[5] : QString());
        if (mode == "floor" && args.size() >= 4) return child_floor(args[3]);
        if (mode == "sketch" && args.size() >= 4) return child_sketch(args[3], args.value(4));
        if (mode == "latency" && args.size() >= 4) return child_latency(args[3].toInt());
        if (mode == "startup") return child_startup(args.size() >= 4 && args[3] == "demo");
        return 2;
    }
    // --smoke: a few seconds of each part, for CI; the full run takes about twelve minutes.
    const bool smoke = args.contains("--smoke");
    const int line_seconds = smoke ? 3 : 30, repeats = smoke ? 1 : 3, flood_seconds = smoke ? 3 : 10;
    Figures f;
    // --sketch-variants: where the sketch's time goes, each variant once beside a floor (2 minutes).
    if (args.contains("--sketch-variants")) {
        for (const char* variant : {"none", "one", "joined", ""}) {
            Figures v;
            lower_bound(v, 20, 1, QString::fromLatin1(variant));
            std::printf("sketch%s%s: %.2f %% of a core, floor %.2f %%, %.2f x the floor\n", *variant ? ", " : ", every cell its own rectangle",
                        variant, percentile(v.sketch_cpu, 0.5) * 100, percentile(v.sketch_floor_cpu, 0.5) * 100,
                        percentile(v.sketch_ratio, 0.5));
        }
        return 0;
    }
    // Trends at every span, each beside the same panel with Trends closed.
    const std::vector<int> spans = smoke ? std::vector<int>{10, 8 * 3600} : std::vector<int>{10, 60, 600, 3600, 8 * 3600};
    const int trends_seconds = smoke ? 3 : 20;
    // --trends: only those figures, for trying a change quickly.
    if (args.contains("--trends")) {
        if (!on_x() || !have("xdotool")) std::fprintf(stderr, "Trends beside the panel needs X and xdotool; not measured.\n");
        else trends_side_by_side(f, spans, trends_seconds, repeats);
        std::printf("| figure | measured | spread | ratio | goal |\n|---|---|---|---|---|\n");
        print_trends(f);
        return 0;
    }
    line_rate(f, line_seconds, repeats);
    lower_bound(f, line_seconds, repeats);
    // --line-rate: only the side-by-side CPU figures, for trying a change quickly.
    if (args.contains("--line-rate")) {
        std::printf("panel %.2f %% of a core, %.2f x the floor (per run %s), %.2f x cutecom; sketch %.2f x the floor (per run %s)\n",
                    percentile(f.panel_cpu, 0.5) * 100, percentile(f.ratio, 0.5), join(f.ratio).c_str(),
                    percentile(f.terminal_ratio, 0.5), percentile(f.sketch_ratio, 0.5), join(f.sketch_ratio).c_str());
        return 0;
    }
    if (on_x() && have("xdotool")) trends_side_by_side(f, spans, trends_seconds, repeats);
    idle(f, smoke ? 2 : 20);
    flood(f, flood_seconds);
    latency(f, smoke ? 2 : 10);
    startup(f, smoke ? 2 : 10);
    print(f, line_seconds, repeats);
    return 0;
}
