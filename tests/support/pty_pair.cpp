#include "tests/support/pty_pair.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sensor::testing {

bool open_raw_pty(int* master, int* slave, QString* slave_path) {
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (::openpty(master, slave, name, &raw, nullptr) != 0) return false;
    ::fcntl(*master, F_SETFL, ::fcntl(*master, F_GETFL) | O_NONBLOCK);
    ::fcntl(*master, F_SETFD, FD_CLOEXEC);
    ::fcntl(*slave, F_SETFD, FD_CLOEXEC);
    if (slave_path) *slave_path = QString::fromLocal8Bit(name);
    return true;
}

PtyPair::PtyPair() {
    if (!open_raw_pty(&master_, &slave_, &path_)) ADD_FAILURE() << "openpty failed: " << std::strerror(errno);
}

PtyPair::~PtyPair() {
    close_master();
    close_slave();
}

void PtyPair::write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            QCoreApplication::processEvents();  // let the reader drain the line
        } else {
            ADD_FAILURE() << "write to pseudo-terminal failed: " << std::strerror(errno);
            return;
        }
    }
}

QByteArray PtyPair::read_available() {
    QByteArray out;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) break;
        out.append(buffer, n);
    }
    return out;
}

void PtyPair::close_master() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}

void PtyPair::close_slave() {
    if (slave_ >= 0) ::close(slave_);
    slave_ = -1;
}

}  // namespace sensor::testing
