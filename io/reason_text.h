// A system's error text as the tail of one of our sentences: "No such file or directory." becomes
// "no such file or directory".
#pragma once

#include <QFileDevice>
#include <QString>

#include <cerrno>
#include <cstring>

namespace sensor {

inline QString reason_text(QString text) {
    if (!text.isEmpty()) text[0] = text[0].toLower();
    while (text.endsWith('.')) text.chop(1);
    return text;
}

// Why a write to `file` fell short. Qt reports a write cut short part-way (a full file system
// takes the first bytes, then refuses) as no error at all; the system's error number, taken
// right after the write, still says why.
inline QString write_failure(const QFileDevice& file, int error_number) {
    if (file.error() != QFileDevice::NoError) return reason_text(file.errorString());
    if (error_number != 0) return reason_text(QString::fromLocal8Bit(std::strerror(error_number)));
    return QStringLiteral("the write was cut short");
}

}  // namespace sensor
