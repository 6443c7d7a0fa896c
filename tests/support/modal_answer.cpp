#include "tests/support/modal_answer.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QLineEdit>

namespace sensor::testing {

QString plain(QString text) { return text.remove(QLatin1Char('&')); }

void answer_file_dialog(const QString& path) {
    answer_modal<QFileDialog>([path](QFileDialog* d) {
        auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(path);
        static_cast<QDialog*>(d)->accept();
    });
}

void click_button(QWidget* dialog, const QString& text) {
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
        if (plain(b->text()).startsWith(text)) {
            b->click();
            return;
        }
    }
    ADD_FAILURE() << "no button " << text.toStdString() << " in " << dialog->metaObject()->className();
}

}  // namespace sensor::testing
