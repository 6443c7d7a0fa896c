// QSaveFile for files, QFile for what exists and is not a file.
#include "trends/window/output_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace sensor {

namespace {

QString reason_of(QString text, const QString& fallback) {
    if (text.isEmpty()) text = fallback;
    text[0] = text[0].toLower();
    return text;
}

}  // namespace

QString write_output_file(const QString& path, const std::function<bool(QIODevice&)>& write) {
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !info.isDir()) {
        QFile device(path);
        if (!device.open(QIODevice::WriteOnly)) return reason_of(device.errorString(), QStringLiteral("it cannot be opened"));
        if (!write(device) || !device.flush()) return reason_of(device.errorString(), QStringLiteral("it takes no more"));
        return {};
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return reason_of(file.errorString(), QStringLiteral("it cannot be opened"));
    if (!write(file)) {
        const QString reason = reason_of(file.errorString(), QStringLiteral("the data could not be made"));
        file.cancelWriting();
        return reason;
    }
    if (!file.commit()) return reason_of(file.errorString(), QStringLiteral("it could not be completed"));
    return {};
}

}  // namespace sensor
