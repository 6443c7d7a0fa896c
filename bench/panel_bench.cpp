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

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "measured_panel.h"
#include "tests/support/pty_pair.h"

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
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p->setProcessEnvironment(env);
    p->setProcessChannelMode(QProcess::SeparateChannels);
    p->start(QCoreApplication::applicationFilePath(), args);
    p->waitForStarted();
    return p;
}

std::map<std::string, std::string> stop_child(QProcess* p) {
    p->write("quit\n");
    p->closeWriteChannel();
    p->waitForFinished(20000);
    auto report = read_report(*p);
    delete p;
    return report;
}

void wait_ms(int ms) { QTest::qWait(ms); }

struct Figures {
    std::vector<double> panel_cpu, floor_cpu, hidden_cpu, ratio;
    double panel_peak_mib = 0;
    std::vector<double> core_ms, widget_ms;
    std::uint64_t flood_sent = 0, flood_decoded = 0;
    double flood_peak_mib = 0, flood_growth_kib = 0, flood_timer_p99 = 0, flood_refresh_max = 0, flood_rate = 0;
    std::vector<double> startup_ms, demo_ms;
};

void line_rate(Figures& f, int seconds, int repeats) {
    for (int r = 0; r < repeats; ++r) {
        QTemporaryDir dir;
        Pty panel_pty, floor_pty, hidden_pty;
        QProcess* panel = start_child({"--child", "panel", panel_pty.path, dir.filePath("run.csv")});
        QProcess* floor = start_child({"--child", "floor", floor_pty.path});
        QProcess* hidden = start_child({"--child", "panel", hidden_pty.path, dir.filePath("hidden.csv"), "hidden"});
        wait_ms(1500);  // all settled before the line starts
        Writer a(panel_pty.master, 1920), b(floor_pty.master, 1920), c(hidden_pty.master, 1920);
        wait_ms(seconds * 1000);
        a.finish();
        b.finish();
        c.finish();
        const auto pr = stop_child(panel);
        const auto fr = stop_child(floor);
        const auto hr = stop_child(hidden);
        // Only the seconds while the line ran, not start-up.
        auto fed = [&](const std::string& list) {
            auto v = parse_list(list);
            const std::size_t skip = std::min<std::size_t>(2, v.size());
            return std::vector<double>(v.begin() + static_cast<long>(skip), v.end());
        };
        const auto pc = fed(pr.at("cpu_share")), fc = fed(fr.at("cpu_share")), hc = fed(hr.at("cpu_share"));
        f.hidden_cpu.insert(f.hidden_cpu.end(), hc.begin(), hc.end());
        const double pm = percentile(pc, 0.5), fm = percentile(fc, 0.5);
        f.panel_cpu.insert(f.panel_cpu.end(), pc.begin(), pc.end());
        f.floor_cpu.insert(f.floor_cpu.end(), fc.begin(), fc.end());
        f.ratio.push_back(fm > 0 ? pm / fm : 0);
        f.panel_peak_mib = std::max(f.panel_peak_mib, std::stod(pr.at("peak_rss_kib")) / 1024);
        std::fprintf(stderr, "line rate run %d: panel %.2f %% of a core, floor %.2f %%, %s frames, %s lines\n", r + 1,
                     pm * 100, fm * 100, pr.at("frames").c_str(), pr.at("lines").c_str());
    }
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
    std::printf("| figure | measured | spread | ratio | goal |\n|---|---|---|---|---|\n");
    std::printf("| CPU at line rate (%d × %d s) | %.2f %% of a core (median second) | p10 %.2f %%, p90 %.2f %% | %.2f × the floor "
                "(floor median %.2f %%; per-run ratios %s) | ≤ 1.25 × the floor |\n",
                repeats, seconds, pct(percentile(f.panel_cpu, 0.5)), pct(percentile(f.panel_cpu, 0.1)),
                pct(percentile(f.panel_cpu, 0.9)), percentile(f.ratio, 0.5), pct(percentile(f.floor_cpu, 0.5)),
                join(f.ratio).c_str());
    std::printf("| CPU at line rate, window not shown (no painting) | %.2f %% of a core | p10 %.2f %%, p90 %.2f %% | %.2f × the floor | "
                "(where the time goes) |\n",
                pct(percentile(f.hidden_cpu, 0.5)), pct(percentile(f.hidden_cpu, 0.1)), pct(percentile(f.hidden_cpu, 0.9)),
                percentile(f.floor_cpu, 0.5) > 0 ? percentile(f.hidden_cpu, 0.5) / percentile(f.floor_cpu, 0.5) : 0);
    std::printf("| peak memory at line rate | %.1f MiB | max over runs | | < 40 MB |\n", f.panel_peak_mib);
    std::printf("| peak memory in a flood | %.1f MiB | growth first → last second: %.0f KiB | | < 40 MB; no growth |\n",
                f.flood_peak_mib, f.flood_growth_kib);
    std::printf("| latency (a) zero byte → cells | p50 %.3f ms, p99 %.3f ms | %zu frames | | p99 < 2 ms |\n",
                percentile(f.core_ms, 0.5), percentile(f.core_ms, 0.99), f.core_ms.size());
    std::printf("| latency (b) zero byte → widget | p50 %.2f ms, p99 %.2f ms | %zu frames | | p99 < 20 ms |\n",
                percentile(f.widget_ms, 0.5), percentile(f.widget_ms, 0.99), f.widget_ms.size());
    std::printf("| flood: frames sent / decoded | %llu / %llu | %.0f frames/s (%.0f × line rate) | | equal |\n",
                static_cast<unsigned long long>(f.flood_sent), static_cast<unsigned long long>(f.flood_decoded), f.flood_rate,
                f.flood_rate / (1920.0 / 17));
    std::printf("| flood: 10 ms timer lateness | p99 %.2f ms | | | p99 < 50 ms |\n", f.flood_timer_p99);
    std::printf("| flood: widget refreshes | at most %.0f a second | | | ≤ 60 a second |\n", f.flood_refresh_max);
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
        if (mode == "latency" && args.size() >= 4) return child_latency(args[3].toInt());
        if (mode == "startup") return child_startup(args.size() >= 4 && args[3] == "demo");
        return 2;
    }
    // --smoke: a few seconds of each part, for CI; the full run takes about three minutes.
    const bool smoke = args.contains("--smoke");
    const int line_seconds = smoke ? 3 : 30, repeats = smoke ? 1 : 3, flood_seconds = smoke ? 3 : 10;
    Figures f;
    line_rate(f, line_seconds, repeats);
    flood(f, flood_seconds);
    latency(f, smoke ? 2 : 10);
    startup(f, smoke ? 2 : 10);
    print(f, line_seconds, repeats);
    return 0;
}
