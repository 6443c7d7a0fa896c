#include "io/capture_file.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <span>

#include "io/reason_text.h"
#include "recording/recording_encoder.h"

namespace sensor {
namespace {

QString bytes_text(qint64 n) { return n == 1 ? QStringLiteral("1 byte was") : QStringLiteral("%1 bytes were").arg(n); }

std::span<const std::uint8_t> byte_span(const QByteArray& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())};
}

}  // namespace

CaptureFile::CaptureFile(QObject* parent) : QObject(parent) {
    flush_timer_.setSingleShot(true);
    flush_timer_.setTimerType(Qt::PreciseTimer);
    connect(&flush_timer_, &QTimer::timeout, this, &CaptureFile::wake);
}

CaptureFile::~CaptureFile() {
    if (!recording()) return;
    // The window may be gone by now, so the last word also goes to standard error.
    connect(this, &CaptureFile::message, this, [](const QString& sentence) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(sentence));
    });
    stop();
}

bool CaptureFile::start(const QString& path, const QString& port, const QString& program_version) {
    if (recording()) stop();
    path_ = path;
    held_.clear();
    written_ = 0;
    rule_.written();
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
    RecordingHeader header;
    header.start_utc_us = QDateTime::currentMSecsSinceEpoch() * 1000;
    header.program_version = (program_version.isEmpty() ? QCoreApplication::applicationVersion() : program_version).toStdString();
    header.port = port.toStdString();
    clock_.start();
    encode_header(header, held_);
    // The header waits like any bytes: a disk that refuses it says so as it would refuse a record.
    bytes_held();
    emit changed();
    return recording();
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
    if (!recording() || bytes.isEmpty()) return;
    encode_received(elapsed_us(), byte_span(bytes), held_);
    bytes_held();
}

void CaptureFile::append_command(const QByteArray& message) {
    if (!recording()) return;
    encode_command(elapsed_us(), byte_span(message), held_);
    bytes_held();
}

void CaptureFile::append_marker(const Marker& marker) {
    if (!recording()) return;
    encode_marker(elapsed_us(), marker, held_);
    bytes_held();
}

// Bytes were added: written now when the rule says so, else the timer wakes at their deadline.
void CaptureFile::bytes_held() {
    const qint64 now = clock_.elapsed();
    if (rule_.held(now, static_cast<std::int64_t>(held_.size()))) {
        write_held();
        return;
    }
    if (!flush_timer_.isActive()) wake();
}

void CaptureFile::wake() {
    if (!recording()) return;
    const qint64 now = clock_.elapsed();
    if (rule_.due(now)) {
        if (write_held()) emit changed();
        return;
    }
    if (const auto deadline = rule_.deadline_ms()) flush_timer_.start(static_cast<int>(std::max<qint64>(0, *deadline - now)));
}

bool CaptureFile::write_held() {
    std::size_t done = 0;
    while (done < held_.size()) {
        errno = 0;
        const qint64 n = file_.write(reinterpret_cast<const char*>(held_.data() + done), static_cast<qint64>(held_.size() - done));
        if (n <= 0) {
            fail(write_failure(file_, errno));
            return false;
        }
        written_ += n;
        done += static_cast<std::size_t>(n);
    }
    held_.clear();
    rule_.written();
    flush_timer_.stop();
    return true;
}

void CaptureFile::fail(const QString& reason) {
    flush_timer_.stop();
    file_.close();
    held_.clear();
    rule_.written();
    emit message(QStringLiteral("Recording to %1 stopped: %2; %3 kept.").arg(path_, reason, bytes_text(written_)));
    emit changed();
    emit stopped();
}

}  // namespace sensor
