// The file dialog asks no question of its own: the name it returns may still get its suffix, and
// the question must be about the file written.
#include "trends/window/save_path.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace sensor {

QString with_suffix(const QString& path, const QString& suffix) {
    const QString dotted = QLatin1Char('.') + suffix;
    return path.endsWith(dotted, Qt::CaseInsensitive) ? path : path + dotted;
}

QString ask_save_path(QWidget* parent, const QString& title, const QString& suggested, const QString& filter,
                      const QString& suffix) {
    const QString typed =
        QFileDialog::getSaveFileName(parent, title, suggested, filter, nullptr, QFileDialog::DontConfirmOverwrite);
    if (typed.isEmpty()) return {};
    const QString path = with_suffix(typed, suffix);
    if (QFileInfo::exists(path)) {
        const auto answer = QMessageBox::question(parent, title, QObject::tr("%1 already exists. Replace it?").arg(path),
                                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) return {};
    }
    return path;
}

}  // namespace sensor
