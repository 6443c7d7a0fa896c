// Measuring other programs from outside, and driving their windows on a virtual X display.
#include "side_by_side.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>

namespace sensor::bench {

// The CPU time another process has used, all its threads, in seconds: the scheduler's own count
// in nanoseconds (/proc/PID/task/TID/schedstat), finer than the 10 ms ticks of /proc/PID/stat.
double process_cpu_seconds(qint64 pid) {
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    double ns = 0;
    for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        std::ifstream in(tasks.filePath(tid + "/schedstat").toStdString());
        double run_ns = 0;
        if (in >> run_ns) ns += run_ns;
    }
    return ns / 1e9;
}

long process_kib(qint64 pid, const char* key) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::strlen(key)));
    return 0;
}

void Meter::run(int seconds) {
    shares.assign(pids.size(), {});
    std::vector<double> last(pids.size());
    for (std::size_t i = 0; i < pids.size(); ++i) last[i] = process_cpu_seconds(pids[i]);
    QElapsedTimer clock;
    clock.start();
    for (int s = 0; s < seconds; ++s) {
        QTest::qWait(static_cast<int>(std::max<qint64>(0, (s + 1) * 1000 - clock.elapsed())));
        for (std::size_t i = 0; i < pids.size(); ++i) {
            const double now = process_cpu_seconds(pids[i]);
            shares[i].push_back(now - last[i]);
            last[i] = now;
        }
    }
}

bool have(const char* program) { return !QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty(); }
bool on_x() { return qgetenv("QT_QPA_PLATFORM") == "xcb" && !qEnvironmentVariableIsEmpty("DISPLAY"); }

namespace {

// xdotool's first answer, or empty when it has none within the deadline.
QString xdotool(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput()).split('\n').value(0).trimmed();
}

}  // namespace

// Moves a process's window to (left, top) on the virtual screen and clicks at (x, y) inside it.
bool place_and_click(qint64 pid, int left, int top, int x, int y) {
    if (!on_x() || !have("xdotool")) return false;
    const QString window = xdotool({"search", "--sync", "--onlyvisible", "--pid", QString::number(pid)});
    if (window.isEmpty()) return false;
    xdotool({"windowmove", "--sync", window, QString::number(left), QString::number(top)});
    QTest::qWait(300);
    xdotool({"mousemove", "--window", window, QString::number(x), QString::number(y), "click", "1"});
    return true;
}

// Whether a process holds a file open (the terminal, once its Open button took).
bool holds_open(qint64 pid, const QString& path) {
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot))
        if (fd.symLinkTarget() == path) return true;
    return false;
}

QProcess* start_program(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
    auto* p = new QProcess;
    p->setProcessEnvironment(env);
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->setStandardOutputFile(QProcess::nullDevice());
    p->start(program, args);
    p->waitForStarted();
    return p;
}

void end_program(QProcess* p) {
    p->terminate();
    if (!p->waitForFinished(10000)) {
        p->kill();
        p->waitForFinished();
    }
    delete p;
}

// cutecom with a session of its own: the port, 19200 8N1, its default plain-text display.
QProcess* start_terminal(const QString& port, const QString& home) {
    QDir().mkpath(home + "/.config/CuteCom");
    QFile conf(home + "/.config/CuteCom/CuteCom5.conf");
    if (!conf.open(QIODevice::WriteOnly)) return nullptr;
    conf.write(QStringLiteral("[CuteCom]\nsession=bench\n\n[sessions]\n1\\BaudRate=19200\n1\\DataBits=8\n"
                              "1\\Device=%1\n1\\FlowControl=0\n1\\OpenMode=3\n1\\Parity=0\n1\\StopBits=1\n"
                              "1\\autoReconnect=false\n1\\name=bench\n1\\showCtrlCharacters=false\n"
                              "1\\showTimestamp=false\nsize=1\n")
                   .arg(port)
                   .toUtf8());
    conf.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/.config");
    return start_program(QStringLiteral("cutecom"), {"-s", "bench"}, env);
}

}  // namespace sensor::bench
