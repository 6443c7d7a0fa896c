// The line under the panel, in one place: the port and its state, frames and their rate, the
// line's health, the age of the last frame, the log and its state, a demo or recording marker,
// and the newest message whole (elided in the middle, the full text a hover away), with every
// message kept for the Messages window.
#pragma once

#include <QDateTime>
#include <QList>
#include <QStatusBar>
#include <QString>

#include <cstdint>
#include <optional>

#include "io/board_connection.h"

class QLabel;
class QProgressBar;

namespace sensor {

struct PanelStatus {
    QString port;        // what the connection is: "/dev/ttyUSB0", "the simulated board"
    QString port_state;  // "open", "retrying", "lost", "closed"
    std::uint64_t frames = 0;
    double frames_per_second = 0;
    bool show_rate = false;  // only once there is something to measure over
    std::uint64_t short_frames = 0;
    std::uint64_t wrapped_frames = 0;
    qint64 quiet_seconds = 0;  // since the last frame; shown from 2 s on
    QString log_path;
    QString log_state;
    bool logging = true;
    QString marker;  // "demo", "recording run.bin, 12 KiB"; empty for none
};

struct StatusMessage {
    QDateTime when;
    QString text;
};

class StatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);

    void show_status(const PanelStatus& status);
    // A replay's progress bar, time played and total; none hides them.
    void show_replay(const std::optional<ReplayProgress>& replay);
    // The newest message; the same sentence twice in a row is kept once.
    void show_message(const QString& sentence);

    QString message() const { return message_; }
    const QList<StatusMessage>& history() const { return history_; }
    // Everything the fields show now, for tests and screen readers.
    QString fields_text() const;

    QLabel* port_field() const { return port_; }
    QLabel* frames_field() const { return frames_; }
    QLabel* health_field() const { return health_; }
    QLabel* age_field() const { return age_; }
    QLabel* log_field() const { return log_; }
    QLabel* marker_field() const { return marker_; }
    QLabel* message_field() const { return message_label_; }
    QLabel* replay_field() const { return replay_; }
    QProgressBar* replay_bar() const { return replay_bar_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void elide_message();

    QLabel* port_;
    QLabel* frames_;
    QLabel* health_;
    QLabel* age_;
    QLabel* log_;
    QLabel* marker_;
    QLabel* replay_;
    QProgressBar* replay_bar_;
    QLabel* message_label_;
    QString message_;
    QList<StatusMessage> history_;
};

}  // namespace sensor
