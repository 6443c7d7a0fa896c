// The line under the panel: the newest message, read whole, above a row of fields (the port and
// its state, the frames and their rate, the line's health, the age of the last frame, the log,
// what else is on, a replay's progress), with every message kept for the Messages window.
#pragma once

#include <QDateTime>
#include <QList>
#include <QStatusBar>
#include <QString>

#include <optional>

#include "io/board_connection.h"
#include "panel/window/status_fields.h"

class QProgressBar;

namespace sensor {

class MessageLine;

struct StatusMessage {
    QDateTime when;
    QString text;
};

class StatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);

    // The fields' texts as the presenter made them; an empty text hides its field.
    void show_fields(const QString& port, const QString& frames, const QString& health, const QString& age,
                     const QString& log, const QString& extras, const QString& log_path);
    // A replay's progress bar, time played and total; none hides them.
    void show_replay(const std::optional<ReplayProgress>& replay);
    // The newest message; the same sentence twice in a row is kept once.
    void show_message(const QString& sentence);

    QString message() const;
    const QList<StatusMessage>& history() const { return history_; }
    // Everything the fields show now, for tests and screen readers.
    QString fields_text() const { return fields_->joined(); }
    QString field(StatusFields::Field f) const { return fields_->text(f); }

    MessageLine* message_field() const { return message_; }
    StatusFields* fields() const { return fields_; }
    QProgressBar* replay_bar() const { return replay_bar_; }

private:
    MessageLine* message_;
    StatusFields* fields_;
    QProgressBar* replay_bar_;
    QList<StatusMessage> history_;
};

}  // namespace sensor
