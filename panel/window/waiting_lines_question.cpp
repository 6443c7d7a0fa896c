#include "panel/window/waiting_lines_question.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QString>

#include "io/log_file.h"

namespace sensor {

bool settle_waiting_lines(QWidget* parent, LogFile& log, const std::function<void(const QString&)>& say) {
    while (!log.flush()) {
        QMessageBox box(parent);
        box.setIcon(QMessageBox::Warning);
        box.setWindowTitle(QObject::tr("Log lines are waiting"));
        box.setInformativeText(QObject::tr("Try again, save them to another file, or discard them?"));
        QPushButton* retry = box.addButton(QObject::tr("&Try again"), QMessageBox::AcceptRole);
        QPushButton* save = box.addButton(QObject::tr("&Save to another file…"), QMessageBox::ActionRole);
        QPushButton* discard = box.addButton(QString(), QMessageBox::DestructiveRole);
        box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(retry);
        // A run goes on while the question is open: the count follows the lines that keep coming.
        const auto show_count = [&] {
            const QString count = QString::fromStdString(lines_text(log.waiting()));
            box.setText(QObject::tr("%1 could not be written to %2 (%3).").arg(count, log.path(), log.failure()));
            discard->setText(QObject::tr("&Discard %1").arg(count));
        };
        show_count();
        QObject::connect(&log, &LogFile::changed, &box, show_count);
        box.exec();
        if (box.clickedButton() == retry) continue;
        const QString count = QString::fromStdString(lines_text(log.waiting()));
        if (box.clickedButton() == discard) {
            log.discard_waiting();
            say(QObject::tr("%1 discarded, never written to %2.").arg(count, log.path()));
            return true;
        }
        if (box.clickedButton() == save) {
            const QString path = QFileDialog::getSaveFileName(parent, QObject::tr("Save the waiting lines"), QString(),
                                                              QObject::tr("CSV files (*.csv);;All files (*)"));
            if (path.isEmpty()) continue;
            const QString why = log.save_waiting_to(path);
            if (why.isEmpty()) {
                say(QObject::tr("%1 saved to %2 instead of %3.").arg(count, path, log.path()));
                return true;
            }
            say(QObject::tr("Cannot save the waiting lines to %1: %2.").arg(path, why));
            continue;
        }
        return false;  // cancelled: the window stays open
    }
    return true;
}

}  // namespace sensor
