#include "io/capture_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace sensor {
namespace {

QString reason_text(QString text) {
    if (!text.isEmpty()) text[0] = text[0].toLower();
    while (text.endsWith('.')) text.chop(1);
    return text;
}

QString bytes_text(qint64 n) { return n == 1 ? QStringLiteral("1 byte was") : QStringLiteral("%1 bytes were").arg(n); }

}  // namespace

CaptureFile::CaptureFile(QObject* parent) : QObject(parent) {
    flush_timer_.setInterval(kFlushMs);
    connect(&flush_timer_, &QTimer::timeout, this, [this] {
        if (!held_.isEmpty() && write_held()) emit changed();
    });
}

CaptureFile::~CaptureFile() {
    if (!recording()) return;
    // The window may be gone by now, so the last word also goes to standard error.
    connect(this, &CaptureFile::message, this, [](const QString& sentence) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(sentence));
    });
    stop();
}

bool CaptureFile::start(const QString& path) {
    if (recording()) stop();
    path_ = path;
    held_.clear();
    written_ = 0;
    const QString folder = QFileInfo(path).absolutePath();
    QString reason;
    if (QFileInfo(path).isDir()) {
        reason = QStringLiteral("it is a folder");
    } else if (!QDir().mkpath(folder)) {
        reason = QStringLiteral("cannot create the folder %1").arg(folder);
    } else {
        file_.setFileName(path);
        // Unbuffered: a write error shows at the write that met it, with what was kept known.
        if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            reason = reason_text(file_.errorString());
    }
    if (!reason.isEmpty()) {
        emit message(QStringLiteral("Cannot record to %1: %2.").arg(path, reason));
        return false;
    }
    flush_timer_.start();
    emit changed();
    return true;
}

bool CaptureFile::stop() {
    if (!recording()) return true;
    const bool ok = write_held();
    if (!ok) return false;  // the failure already stopped the recording and said why
    flush_timer_.stop();
    file_.close();
    emit changed();
    emit stopped();
    return true;
}

void CaptureFile::append(const QByteArray& bytes) {
    if (!recording()) return;
    held_ += bytes;
    if (held_.size() >= kFlushBytes) write_held();
}

bool CaptureFile::write_held() {
    while (!held_.isEmpty()) {
        const qint64 n = file_.write(held_);
        if (n <= 0) {
            const QString reason = reason_text(file_.errorString());
            fail(reason.isEmpty() ? QStringLiteral("the write was refused") : reason);
            return false;
        }
        written_ += n;
        held_.remove(0, n);
    }
    return true;
}

void CaptureFile::fail(const QString& reason) {
    flush_timer_.stop();
    file_.close();
    held_.clear();
    emit message(QStringLiteral("Recording to %1 stopped: %2; %3 kept.").arg(path_, reason, bytes_text(written_)));
    emit changed();
    emit stopped();
}

}  // namespace sensor
