#include "tests/support/stderr_capture.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace sensor::testing {

QString stderr_of(const QString& folder, const std::function<void()>& action) {
    const QString path = QDir(folder).filePath(QStringLiteral("stderr.txt"));
    std::fflush(stderr);
    const int saved = ::dup(2);
    const int file = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(file, 2);
    action();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    ::close(file);
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

}  // namespace sensor::testing
