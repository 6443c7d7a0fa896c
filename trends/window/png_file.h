// Writes an image as a PNG file, all or nothing, and says in one sentence why when it cannot.
#pragma once

#include <QImage>
#include <QString>

namespace sensor {

// Returns an empty string, or "Cannot save the plot to PATH: REASON. Choose a folder that
// exists and that you may write to."
QString save_png(const QImage& image, const QString& path);

}  // namespace sensor
