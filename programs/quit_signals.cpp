#include "programs/quit_signals.h"

#include <QCoreApplication>
#include <QObject>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#endif

namespace sensor {

#ifdef Q_OS_UNIX
namespace {

int quit_pipe[2] = {-1, -1};

// A signal handler may only write; the event loop reads the pipe and quits in its own time.
void on_quit_signal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(quit_pipe[1], &byte, 1);
}

}  // namespace

bool quit_on_signals(QObject* context) {
    if (quit_pipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, quit_pipe) != 0) return false;
    auto* notifier = new QSocketNotifier(quit_pipe[0], QSocketNotifier::Read, context);
    // exit, not quit: quit asks every window to close, and a window that asks the user (lines
    // waiting for the log) would hold up a signal that cannot wait for an answer.
    QObject::connect(notifier, &QSocketNotifier::activated, context, [] { QCoreApplication::exit(0); });
    struct sigaction action {};
    action.sa_handler = on_quit_signal;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0;
}
#else
bool quit_on_signals(QObject*) { return false; }
#endif

}  // namespace sensor
