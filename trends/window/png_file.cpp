// The image encoded in memory first, so a failing disk is met by the file's write, not inside the
// encoder (which would also complain on standard error of its own).
#include "trends/window/png_file.h"

#include <QBuffer>
#include <QByteArray>

#include "trends/window/output_file.h"

namespace sensor {

QString save_png(const QImage& image, const QString& path) {
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        return QStringLiteral("Cannot save the plot to %1: the image could not be encoded. Choose a folder that exists and that you "
                              "may write to.")
            .arg(path);
    }
    const QString reason = write_output_file(path, [&](QIODevice& file) { return file.write(encoded) == encoded.size(); });
    if (reason.isEmpty()) return {};
    return QStringLiteral("Cannot save the plot to %1: %2. Choose a folder that exists and that you may write to.").arg(path, reason);
}

}  // namespace sensor
