#include "panel/window/status_bar.h"

#include <QHBoxLayout>
#include <QProgressBar>
#include <QVBoxLayout>

#include <cmath>

#include "panel/duration_text.h"
#include "panel/window/message_line.h"

namespace sensor {
namespace {

constexpr int kMostMessagesKept = 1000;

QString speed_text(double speed) {
    if (std::isinf(speed)) return QStringLiteral("fastest");
    if (speed == 0.25) return QStringLiteral("\u00bc\u00d7");
    return QStringLiteral("%1\u00d7").arg(speed);
}

QString clock(double seconds) { return QString::fromStdString(clock_text(static_cast<std::int64_t>(std::floor(seconds)))); }

}  // namespace

StatusBar::StatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("status_bar"));
    setSizeGripEnabled(false);
    auto* area = new QWidget(this);
    area->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto* column = new QVBoxLayout(area);
    column->setContentsMargins(2, 1, 2, 1);
    column->setSpacing(1);
    message_ = new MessageLine(area);
    column->addWidget(message_);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    fields_ = new StatusFields(area);
    row->addWidget(fields_, 1);
    replay_bar_ = new QProgressBar(area);
    replay_bar_->setObjectName(QStringLiteral("replay_bar"));
    replay_bar_->setFixedSize(100, fields_->sizeHint().height() - 4);
    replay_bar_->setTextVisible(false);
    replay_bar_->setRange(0, 1000);
    replay_bar_->hide();
    row->addWidget(replay_bar_);
    column->addLayout(row);
    addWidget(area, 1);
}

void StatusBar::show_fields(const QString& port, const QString& frames, const QString& health, const QString& age,
                            const QString& log, const QString& extras, const QString& log_path) {
    fields_->set(StatusFields::Port, port);
    fields_->set(StatusFields::Frames, frames);
    fields_->set(StatusFields::Health, health,
                 tr("Frames that ended before 16 data bytes (short) or ran past them (overlong): a noisy or "
                    "mismatched line."));
    fields_->set(StatusFields::Age, age);
    fields_->set(StatusFields::Log, log, log_path);
    fields_->set(StatusFields::Extras, extras);
}

void StatusBar::show_replay(const std::optional<ReplayProgress>& replay) {
    replay_bar_->setVisible(replay.has_value());
    if (!replay) {
        fields_->set(StatusFields::Replay, QString());
        return;
    }
    const ReplayProgress& r = *replay;
    const int permille = r.size > 0 ? static_cast<int>(r.position * 1000 / r.size) : 0;
    if (replay_bar_->value() != permille) replay_bar_->setValue(permille);
    fields_->set(StatusFields::Replay,
                 QStringLiteral("%1 / %2, %3").arg(clock(r.played_seconds), clock(r.total_seconds), speed_text(r.speed)),
                 tr("%1 of %2 bytes replayed").arg(r.position).arg(r.size));
}

void StatusBar::show_message(const QString& sentence) {
    if (sentence.isEmpty()) return;
    if (history_.isEmpty() || history_.last().text != sentence) {
        history_.append({QDateTime::currentDateTime(), sentence});
        if (history_.size() > kMostMessagesKept) history_.removeFirst();
    }
    message_->set_message(sentence);
}

QString StatusBar::message() const { return message_->message(); }

}  // namespace sensor
