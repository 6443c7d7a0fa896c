#include "eval/log_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>

namespace sensor {
namespace {

constexpr int kRetryMs = 2000;

QString reason_text(QString text) {
    if (!text.isEmpty()) text[0] = text[0].toLower();
    while (text.endsWith('.')) text.chop(1);
    return text;
}

QString lines_text(std::size_t n) { return n == 1 ? QStringLiteral("1 line") : QStringLiteral("%1 lines").arg(n); }

// Open for appending (creating the file and its folder), one write of the whole line, close. On a
// failed write the file is cut back to its old length, so no half line stays behind.
QString write_line(const QString& path, const std::string& line) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) return QStringLiteral("cannot create the folder %1").arg(folder);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) return reason_text(file.errorString());
    const qint64 old_size = file.size();
    const qint64 n = file.write(line.data(), static_cast<qint64>(line.size()));
    if (n != static_cast<qint64>(line.size())) {
        const QString reason = reason_text(file.errorString());
        if (n > 0 && file.isSequential() == false) file.resize(old_size);
        return reason.isEmpty() ? QStringLiteral("the write was cut short") : reason;
    }
    file.close();
    return {};
}

}  // namespace

LogFile::LogFile(const QString& path, QObject* parent) : QObject(parent), path_(path) {
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, [this] { flush(); });
}

LogFile::~LogFile() {
    if (flush() && dropped_ == 0) return;
    // The last word on lines that never reached the file: their count, never silence.
    std::fprintf(stderr, "sensor-panel: %s could not be written to %s (%s)%s.\n", qPrintable(lines_text(waiting_.size())),
                 qPrintable(path_), qPrintable(failure_),
                 dropped_ ? qPrintable(QStringLiteral("; %1 more were dropped while waiting").arg(dropped_)) : "");
}

QString LogFile::default_path() {
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\temp\\sensors.csv");
#else
    return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).filePath(QStringLiteral("sensors.csv"));
#endif
}

void LogFile::append(const std::string& line) {
    if (waiting_.size() >= kMaxWaiting) {
        if (dropped_++ == 0)
            emit message(QStringLiteral("Cannot write %1: %2; %3 lines waiting, so new lines are being dropped and counted.")
                             .arg(path_, failure_)
                             .arg(waiting_.size()));
    } else {
        waiting_.push_back(line);
    }
    write_waiting();
    emit changed();
}

bool LogFile::flush() {
    const bool done = write_waiting();
    emit changed();
    return done;
}

bool LogFile::write_waiting() {
    while (!waiting_.empty()) {
        const QString reason = write_line(path_, waiting_.front());
        if (!reason.isEmpty()) {
            if (reason != failure_) {
                failure_ = reason;
                emit message(QStringLiteral("Cannot write %1: %2; %3 waiting.").arg(path_, reason, lines_text(waiting_.size())));
            }
            if (!retry_.isActive()) retry_.start();
            return false;
        }
        waiting_.pop_front();
        ++written_;
    }
    if (!failure_.isEmpty()) {
        failure_.clear();
        retry_.stop();
        emit message(QStringLiteral("Writing %1 again; every waiting line is written.").arg(path_));
    }
    return true;
}

QString LogFile::state_text() const {
    QString text = QStringLiteral("%1 written").arg(lines_text(written_));
    if (!failure_.isEmpty()) text = QStringLiteral("cannot write: %1; %2 waiting").arg(failure_, lines_text(waiting_.size()));
    if (dropped_) text += QStringLiteral("; %1 dropped").arg(dropped_);
    return text;
}

}  // namespace sensor
