#include "panel/window/waiting_lines_question.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QString>

#include "io/log_file.h"

namespace sensor {

bool settle_waiting_lines(QWidget* parent, LogFile& log, const std::function<void(const QString&)>& say) {
    while (!log.flush()) {
        const QString count = QString::fromStdString(lines_text(log.waiting()));
        QMessageBox box(parent);
        box.setIcon(QMessageBox::Warning);
        box.setWindowTitle(QObject::tr("Log lines are waiting"));
        box.setText(QObject::tr("%1 could not be written to %2 (%3).").arg(count, log.path(), log.failure()));
        box.setInformativeText(QObject::tr("Try again, save them to another file, or discard them?"));
        QPushButton* retry = box.addButton(QObject::tr("&Try again"), QMessageBox::AcceptRole);
        QPushButton* save = box.addButton(QObject::tr("&Save to another file…"), QMessageBox::ActionRole);
        QPushButton* discard = box.addButton(QObject::tr("&Discard %1").arg(count), QMessageBox::DestructiveRole);
        box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(retry);
        box.exec();
        if (box.clickedButton() == retry) continue;
        if (box.clickedButton() == discard) {
            log.discard_waiting();
            return true;
        }
        if (box.clickedButton() == save) {
            const QString path = QFileDialog::getSaveFileName(parent, QObject::tr("Save the waiting lines"), QString(),
                                                              QObject::tr("CSV files (*.csv);;All files (*)"));
            if (path.isEmpty()) continue;
            const QString why = log.save_waiting_to(path);
            if (why.isEmpty()) return true;
            say(QObject::tr("Cannot save the waiting lines to %1: %2.").arg(path, why));
            continue;
        }
        return false;  // cancelled: the window stays open
    }
    return true;
}

}  // namespace sensor
