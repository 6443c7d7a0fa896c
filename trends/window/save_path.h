// The file a save goes to, asked once: the name the operator typed, with the format's suffix added
// when it lacks one, and a question before replacing a file that exists, about that same file.
#pragma once

#include <QString>

class QWidget;

namespace sensor {

// "trends" to "trends.png"; a name that ends in the suffix (in any case) stays as it is.
QString with_suffix(const QString& path, const QString& suffix);

// Asks for a file to save to; empty when the operator cancels or keeps the existing file.
QString ask_save_path(QWidget* parent, const QString& title, const QString& suggested, const QString& filter,
                      const QString& suffix);

}  // namespace sensor
