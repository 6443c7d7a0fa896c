// Writes a file the operator named: a regular file all or nothing, through QSaveFile, so the old
// one stays whole when anything fails on the way; a device or a pipe straight, as it cannot be
// replaced by a new file (QSaveFile would put a regular file in its place).
#pragma once

#include <QIODevice>
#include <QString>

#include <functional>

namespace sensor {

// `write` returns false when a write failed. Returns why the file could not be written, in lower
// case as it goes into a sentence, or an empty string.
QString write_output_file(const QString& path, const std::function<bool(QIODevice&)>& write);

}  // namespace sensor
