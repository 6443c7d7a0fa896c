// Answers the modal dialogs a window test opens, from inside their event loops: a message box's
// button by its text, a file dialog's path typed as a user would, or any answer to a dialog type.
#pragma once

#include <QApplication>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace sensor::testing {

// Answers the next modal window of type T once it is up, and again while it stays up (a file
// dialog may not take the first accept).
template <typename T>
void answer_modal(std::function<void(T*)> answer) {
    auto* poll = new QTimer(qApp);
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [poll, answer, answered = QPointer<T>()]() mutable {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (dialog && !dialog->isVisible()) dialog = nullptr;
        if (answered && answered != dialog) answered = nullptr;
        if (!answered && poll->property("answered").toBool()) {
            poll->stop();
            poll->deleteLater();
            return;
        }
        if (!dialog) return;
        answered = dialog;
        poll->setProperty("answered", true);
        answer(dialog);
    });
    poll->start();
}

// Answers the next file dialog with this path, typed into its name field.
void answer_file_dialog(const QString& path);
// Clicks the button whose text, without its & marks, starts with text; a test failure if none.
void click_button(QWidget* dialog, const QString& text);
// A menu's or button's text without its & marks.
QString plain(QString text);

}  // namespace sensor::testing
