// The processes the panel benchmark measures: the real panel, the floor window, the latency probe
// and the start-up probe. Each measures itself and prints "key=value" lines.
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QStaticText>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "io/serial_link.h"
#include "panel/window/form1.h"
#include "session/panel_session.h"
#include "io/simulated_connection.h"
#include "sim/frame_encoder.h"

#include "measured_panel.h"
#include "tests/support/cpu_time.h"
#include "tests/support/panel_window.h"
#include "tests/support/pty_pair.h"
#include "tests/support/random_frames.h"

namespace sensor::bench {

using testing::cpu_seconds;
using testing::quiet_options;

long status_kib(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::strlen(key)));
    return 0;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const double at = p * static_cast<double>(v.size() - 1);
    const auto lo = static_cast<std::size_t>(at);
    const std::size_t hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (at - static_cast<double>(lo));
}

std::string join(const std::vector<double>& v) {
    std::string s;
    for (double x : v) s += (s.empty() ? "" : ",") + std::to_string(x);
    return s;
}

std::vector<double> parse_list(const std::string& s) {
    std::vector<double> v;
    std::size_t at = 0;
    while (at < s.size()) {
        std::size_t end = s.find(',', at);
        if (end == std::string::npos) end = s.size();
        v.push_back(std::stod(s.substr(at, end - at)));
        at = end + 1;
    }
    return v;
}

QByteArray frames(int count, std::uint32_t seed) {
    const std::vector<std::uint8_t> bytes = testing::random_frames(count, seed);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

namespace {

// Samples the process's own CPU share and resident size once a second, and answers "quit" on
// standard input with everything it measured.
class SelfMeter : public QObject {
public:
    SelfMeter() {
        last_cpu_ = cpu_seconds();
        clock_.start();
        second_.setInterval(1000);
        connect(&second_, &QTimer::timeout, this, [this] {
            const double cpu = cpu_seconds();
            cpu_share_.push_back((cpu - last_cpu_) / (static_cast<double>(clock_.restart()) / 1000.0));
            last_cpu_ = cpu;
            rss_kib_.push_back(static_cast<double>(status_kib("VmRSS:")));
        });
        second_.start();
    }
    void print(std::map<std::string, std::string> extra) const {
        extra["cpu_share"] = join(cpu_share_);
        extra["rss_kib"] = join(rss_kib_);
        extra["peak_rss_kib"] = std::to_string(status_kib("VmHWM:"));
        for (const auto& [k, v] : extra) std::printf("%s=%s\n", k.c_str(), v.c_str());
        std::fflush(stdout);
    }

private:
    QTimer second_;
    QElapsedTimer clock_;
    double last_cpu_;
    std::vector<double> cpu_share_;
    std::vector<double> rss_kib_;
};

void on_quit(QObject* context, std::function<void()> done) {
    auto* notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [notifier, done] {
        char buffer[64];
        (void)::read(STDIN_FILENO, buffer, sizeof buffer);  // "quit", or the end of the input
        notifier->setEnabled(false);
        done();
    });
}

}  // namespace

// The real panel, a run on (START clicked), logging every 50th frame.
// The lateness timer wakes the process 100 times a second, so it runs only where it is measured
// (the flood), not where the process's own CPU share is.
// "hidden" leaves the window unshown: everything but the painting, to tell the two apart.
int child_panel(const QString& port, const QString& log, const QString& variant) {
    const bool timed = variant == "timed";
    PanelSession session(quiet_options(log), std::make_unique<SerialLink>(port));
    session.start();
    if (variant != "hidden") session.window().show();
    QTest::mouseClick(session.form().Command1(), Qt::LeftButton);

    // A 10 ms timer's lateness shows whether the event loop keeps up; widget refreshes are
    // counted through a cell whose text changes with every frame.
    std::vector<double> lateness_ms;
    QElapsedTimer tick_clock;
    tick_clock.start();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        lateness_ms.push_back(std::max(0.0, static_cast<double>(tick_clock.nsecsElapsed()) / 1e6 - 10.0));
        tick_clock.restart();
    });
    if (timed) tick.start();
    std::vector<double> refreshes_per_s{0};
    QElapsedTimer refresh_clock;
    refresh_clock.start();
    for (int i = 0; i < 16; ++i) {
        QObject::connect(session.form().Text1(i), &CellBox::textChanged, [&, i] {
            if (i != 1) return;  // one cell per refresh
            const auto second = static_cast<std::size_t>(refresh_clock.elapsed() / 1000);
            if (refreshes_per_s.size() <= second) refreshes_per_s.resize(second + 1, 0);
            refreshes_per_s[second] += 1;
        });
    }
    SelfMeter meter;
    on_quit(&session, [&] {
        meter.print({{"frames", std::to_string(session.logic().frames_decoded())},
                     {"lines", std::to_string(session.log().written())},
                     {"timer_late_p50_ms", std::to_string(percentile(lateness_ms, 0.5))},
                     {"timer_late_p99_ms", std::to_string(percentile(lateness_ms, 0.99))},
                     {"refresh_max_per_s", std::to_string(*std::max_element(refreshes_per_s.begin(), refreshes_per_s.end()))}});
        QCoreApplication::quit();
    });
    return QApplication::exec();
}

// The floor: a window that only opens the port and reads and drops every byte.
int child_floor(const QString& port) {
    QWidget window;
    window.resize(813, 489);
    window.show();
    QSerialPort serial(port);
    serial.setBaudRate(QSerialPort::Baud19200);
    if (!serial.open(QIODevice::ReadWrite)) return 1;
    QObject::connect(&serial, &QSerialPort::readyRead, [&] { serial.readAll(); });
    SelfMeter meter;
    on_quit(&window, [&] {
        meter.print({});
        QCoreApplication::quit();
    });
    return QApplication::exec();
}

namespace {

// The least a panel can do that shows the line's readings at the display's pace: one widget, the
// panel's 19 cells at their places, a background drawn once, each cell's texts laid out before
// the run (QStaticText), the port read every 60 ms straight from its descriptor. Each tick that
// finds a frame changes every cell's text and repaints the cells' rectangles.
class SketchPanel : public QWidget {
public:
    explicit SketchPanel(std::vector<QRect> cells) : cells_(std::move(cells)) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFixedSize(813, 449);
        QFont font(QStringLiteral("Times New Roman"));
        font.setPointSizeF(14.25);
        setFont(font);
        texts_.resize(cells_.size());
        for (std::size_t c = 0; c < cells_.size(); ++c)
            for (int k = 0; k < kTexts; ++k) {
                texts_[c][static_cast<std::size_t>(k)].setText(QString::number(k * 17.123 + static_cast<double>(c), 'f', 3));
                texts_[c][static_cast<std::size_t>(k)].prepare(QTransform(), font);
            }
    }
    // "one": one cell changes a tick; "joined": the cells are repainted as one rectangle;
    // "none": nothing is painted (the reading alone); otherwise each cell its own rectangle.
    void next(const QString& variant) {
        ++shown_;
        if (variant == QLatin1String("none")) return;
        if (variant == QLatin1String("one")) {
            update(cells_.front().adjusted(2, 2, -2, -2));
            return;
        }
        QRect joined;
        for (const QRect& cell : cells_) {
            if (variant == QLatin1String("joined")) joined |= cell;
            else update(cell.adjusted(2, 2, -2, -2));
        }
        if (joined.isValid()) update(joined);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        if (background_.isNull()) {
            background_ = QPixmap(size());
            background_.fill(palette().color(QPalette::Window));
            QPainter p(&background_);
            p.setPen(palette().color(QPalette::Mid));
            for (const QRect& cell : cells_) {
                p.fillRect(cell, palette().color(QPalette::Base));
                p.drawRect(cell.adjusted(0, 0, -1, -1));
            }
        }
        QPainter p(this);
        p.drawPixmap(event->rect(), background_, event->rect());
        p.setPen(palette().color(QPalette::Text));
        for (std::size_t c = 0; c < cells_.size(); ++c)
            if (event->region().intersects(cells_[c]))
                p.drawStaticText(cells_[c].topLeft() + QPoint(4, 4), texts_[c][static_cast<std::size_t>((shown_ + c) % kTexts)]);
    }

private:
    static constexpr int kTexts = 64;
    std::vector<QRect> cells_;
    std::vector<std::array<QStaticText, kTexts>> texts_;
    QPixmap background_;
    std::size_t shown_ = 0;
};

}  // namespace

int child_sketch(const QString& port, const QString& variant) {
    std::vector<QRect> cells;
    {
        PanelLogic logic('.');
        Form1 places(logic);
        for (int i = 0; i < 16; ++i) cells.push_back(places.Text1(i)->geometry());
        for (int i = 0; i < 3; ++i) cells.push_back(places.Text2(i)->geometry());
    }
    SketchPanel window(cells);
    window.show();
    const int fd = ::open(QFile::encodeName(port).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return 1;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(60);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        char buffer[4096];
        bool frame = false;
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
            frame = frame || std::memchr(buffer, 0, static_cast<std::size_t>(n)) != nullptr;
        if (frame) window.next(variant);
    });
    tick.start();
    SelfMeter meter;
    on_quit(&window, [&] {
        meter.print({});
        QCoreApplication::quit();
    });
    const int code = QApplication::exec();
    ::close(fd);
    return code;
}

// Latency inside one process, frames at the line rate: a frame's zero byte written at the far end
// of a pseudo-terminal, to (a) the core's cells changed and (b) the cell painted with its new
// text (the window's flush to the screen follows in the same pass). Also counts the refreshes.
int child_latency(int seconds) {
    int master = -1, slave = -1;
    QString name;
    if (!testing::open_raw_pty(&master, &slave, &name)) return 1;
    QTemporaryDir dir;
    PanelSession session(quiet_options(dir.filePath("l.csv")), std::make_unique<SerialLink>(name));
    session.start();
    session.window().show();

    struct Stamp {
        QElapsedTimer since_zero;
        std::string reading;
        bool core_seen = true, widget_seen = true;
    };
    std::map<int, Stamp> pending;  // by reading; frames overtake their display
    std::vector<double> core_ms, widget_ms;
    std::vector<double> refreshes_per_s{0};
    QElapsedTimer clock;
    clock.start();
    int reading = 0;
    QObject::connect(session.connection(), &BoardConnection::received, [&] {
        const auto it = pending.find(std::atoi(session.logic().cells().Text1[0].c_str()));
        if (it != pending.end() && !it->second.core_seen) {
            core_ms.push_back(static_cast<double>(it->second.since_zero.nsecsElapsed()) / 1e6);
            it->second.core_seen = true;
        }
    });
    QObject::connect(session.form().Text1(0), &CellBox::textChanged, [&] {
        const auto second = static_cast<std::size_t>(clock.elapsed() / 1000);
        if (refreshes_per_s.size() <= second) refreshes_per_s.resize(second + 1, 0);
        refreshes_per_s[second] += 1;
    });
    struct PaintWatch : QObject {
        std::function<void()> painted;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) painted();
            return false;
        }
    } watch;
    watch.painted = [&] {
        const auto it = pending.find(session.form().Text1(0)->text().toInt());
        if (it == pending.end() || it->second.widget_seen) return;
        widget_ms.push_back(static_cast<double>(it->second.since_zero.nsecsElapsed()) / 1e6);
        it->second.widget_seen = true;
        // Frames before this one that were never shown were overtaken, not late.
        pending.erase(pending.begin(), it);
    };
    session.form().Text1(0)->installEventFilter(&watch);

    QTimer writer;
    writer.setTimerType(Qt::PreciseTimer);
    writer.setInterval(9);  // about the line rate
    QObject::connect(&writer, &QTimer::timeout, [&] {
        reading = (reading + 37) % 1024;
        const auto f = encode_frame({{reading, 100, 200}, {300, 400, 500}, {10, 900}});
        (void)::write(master, f.data(), f.size() - 1);
        Stamp& stamp = pending[reading];
        stamp = Stamp{};
        stamp.core_seen = stamp.widget_seen = false;
        stamp.since_zero.start();
        (void)::write(master, f.data() + f.size() - 1, 1);
    });
    writer.start();
    QTimer::singleShot(seconds * 1000, [&] {
        // The first and the last, partly filled, seconds left out.
        std::vector<double> full(refreshes_per_s.begin() + std::min<long>(1, static_cast<long>(refreshes_per_s.size())),
                                 refreshes_per_s.end() - std::min<long>(1, static_cast<long>(refreshes_per_s.size())));
        std::printf("core_ms=%s\nwidget_ms=%s\nrefreshes_per_s=%s\n", join(core_ms).c_str(), join(widget_ms).c_str(),
                    join(full).c_str());
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    return QApplication::exec();
}

// Start-up: from exec to the window shown, and with the simulated board to the first frame shown.
int child_startup(bool demo) {
    QTemporaryDir dir;
    std::unique_ptr<BoardConnection> connection;
    if (demo)
        connection = std::make_unique<SimulatedConnection>();
    else
        connection = std::make_unique<SerialLink>(QStringLiteral("/nonexistent/port"));
    PanelSession session(quiet_options(dir.filePath("s.csv")), std::move(connection));
    session.start();
    session.window().show();
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!session.window().isVisible()) return;
        if (!demo || !session.form().Text1(0)->text().isEmpty()) {
            std::printf("ready\n");
            std::fflush(stdout);
            QCoreApplication::quit();
        }
    });
    poll.start();
    return QApplication::exec();
}

}  // namespace sensor::bench
