// A PNG written through QSaveFile: the old file stays whole if anything fails on the way.
#include "trends/window/png_file.h"

#include <QSaveFile>

namespace sensor {

QString save_png(const QImage& image, const QString& path) {
    QSaveFile file(path);
    QString reason;
    if (!file.open(QIODevice::WriteOnly)) {
        reason = file.errorString();
    } else if (!image.save(&file, "PNG")) {
        reason = file.error() != QFileDevice::NoError ? file.errorString() : QStringLiteral("the image could not be encoded");
        file.cancelWriting();
    } else if (!file.commit()) {
        reason = file.errorString();
    }
    if (reason.isEmpty()) return {};
    reason[0] = reason[0].toLower();
    return QStringLiteral("Cannot save the plot to %1: %2. Choose a folder that exists and that you may write to.").arg(path, reason);
}

}  // namespace sensor
