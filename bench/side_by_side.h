// Other programs measured side by side from outside: their CPU time from the scheduler, their
// memory, and their windows placed and clicked on an X display with xdotool.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <vector>

namespace sensor::bench {

// All threads' CPU time so far, in seconds (/proc/PID/task/*/schedstat, in nanoseconds).
double process_cpu_seconds(qint64 pid);
long process_kib(qint64 pid, const char* key);  // a field of /proc/PID/status, in KiB

// Samples the CPU share of several processes once a second for `seconds`, side by side.
struct Meter {
    std::vector<qint64> pids;
    std::vector<std::vector<double>> shares;
    void run(int seconds);
};

bool have(const char* program);  // on the PATH
bool on_x();                     // Qt shows windows on an X display here

// Moves a process's window to (left, top) and clicks at (x, y) inside it; false without X or xdotool.
bool place_and_click(qint64 pid, int left, int top, int x, int y);
// Whether a process holds a file open (the terminal, once its Open button took).
bool holds_open(qint64 pid, const QString& path);

QProcess* start_program(const QString& program, const QStringList& args, const QProcessEnvironment& env);
void end_program(QProcess* p);  // SIGTERM, then SIGKILL after 10 s
// cutecom with a session of its own in `home`: the port, 19200 8N1, its default plain-text display.
QProcess* start_terminal(const QString& port, const QString& home);

}  // namespace sensor::bench
