#include "io/log_file.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <cstdio>

#include "eval/default_log_path.h"
#include "io/reason_text.h"

namespace sensor {

std::string append_line(const QString& path, const std::string& line, const std::string& header) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) return QStringLiteral("cannot create the folder %1").arg(folder).toStdString();
    QFile file(path);
    // A device (/dev/full, a printer) has no end to append at; opening it for appending would
    // ask Qt to seek on it.
    const QFileInfo info(path);
    const QIODevice::OpenMode mode = info.exists() && !info.isFile() && !info.isDir()
                                         ? QIODevice::WriteOnly | QIODevice::ExistingOnly | QIODevice::Unbuffered
                                         : QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered;
    if (!file.open(mode)) return reason_text(file.errorString()).toStdString();
    // A device such as /dev/full has no length to go back to.
    const bool sequential = file.isSequential();
    const qint64 old_size = sequential ? 0 : file.size();
    // Header and line in one write, so a file is never left with a header alone.
    const std::string& text = !header.empty() && !sequential && old_size == 0 ? header + line : line;
    errno = 0;
    const qint64 n = file.write(text.data(), static_cast<qint64>(text.size()));
    if (n != static_cast<qint64>(text.size())) {
        const QString reason = write_failure(file, errno);
        if (n > 0 && !sequential) file.resize(old_size);
        return reason.toStdString();
    }
    file.close();
    return {};
}

LogFile::LogFile(const QString& path, QObject* parent) : QObject(parent), path_(path), lines_(path.toStdString()) {
    clock_.start();
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, [this] { flush(); });
}

LogFile::~LogFile() {
    flush();
    const QString report = exit_report();
    // The last word on lines that never reached the file: their count, never silence.
    if (!report.isEmpty()) std::fprintf(stderr, "sensor-panel: %s\n", qUtf8Printable(report));
}

QString LogFile::default_path() {
    return QString::fromStdString(
        default_log_path(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString()));
}

void LogFile::set_path(const QString& path) {
    path_ = path;
    lines_.set_path(path.toStdString());
    flush();
}

QString LogFile::save_waiting_to(const QString& path) {
    std::string all;
    for (const std::string& line : lines_.lines()) all += line;
    const std::string reason = append_line(path, all, header_);
    if (!reason.empty()) return QString::fromStdString(reason);
    lines_.discard();
    emit changed();
    return {};
}

QString LogFile::rescue_waiting() {
    const std::size_t count = lines_.waiting();
    if (count == 0) return {};
    const QString why = QString::fromStdString(lines_.failure());
    const QString name = QStringLiteral("%1-unsaved-%2.csv")
                             .arg(QFileInfo(path_).completeBaseName(), QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QStringList tried;
    for (const QString& folder : {QFileInfo(path_).absolutePath(), QDir::homePath()}) {
        const QString target = QDir(folder).filePath(name);
        if (save_waiting_to(target).isEmpty())
            return QStringLiteral("%1 could not be written to %2 (%3); %4 saved to %5.")
                .arg(QString::fromStdString(lines_text(count)), path_, why,
                     count == 1 ? QStringLiteral("it was") : QStringLiteral("they were"), target);
        tried << target;
    }
    return QStringLiteral("%1 could not be written to %2 (%3), nor to %4; %5 lost.")
        .arg(QString::fromStdString(lines_text(count)), path_, why, tried.join(QStringLiteral(" or ")),
             count == 1 ? QStringLiteral("it is") : QStringLiteral("they are"));
}

void LogFile::append(const std::string& line) {
    lines_.add(line);
    write_waiting();
    emit changed();
}

bool LogFile::flush() {
    const bool done = write_waiting();
    emit changed();
    return done;
}

bool LogFile::write_waiting() {
    const bool done = lines_.write_out(clock_.elapsed(), [this](const std::string& line) { return append_line(path_, line, header_); });
    for (const std::string& sentence : lines_.take_sentences()) emit message(QString::fromStdString(sentence));
    if (done) {
        retry_.stop();
    } else if (!retry_.isActive()) {
        retry_.start(static_cast<int>(std::max<std::int64_t>(0, lines_.next_retry_ms() - clock_.elapsed())));
    }
    return done;
}

}  // namespace sensor
