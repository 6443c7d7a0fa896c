#include "panel/status_bar.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLocale>
#include <QStringList>

namespace sensor {
namespace {

constexpr int kMostMessagesKept = 1000;

void set_text(QLabel* label, const QString& text, const QString& tip = {}) {
    if (label->text() != text) label->setText(text);
    if (label->toolTip() != tip) label->setToolTip(tip);
    label->setVisible(!text.isEmpty());
}

QLabel* field(QWidget* parent, const QString& name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

}  // namespace

StatusBar::StatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("status_bar"));
    setSizeGripEnabled(false);
    port_ = field(this, QStringLiteral("port_field"));
    frames_ = field(this, QStringLiteral("frames_field"));
    health_ = field(this, QStringLiteral("health_field"));
    age_ = field(this, QStringLiteral("age_field"));
    log_ = field(this, QStringLiteral("log_field"));
    marker_ = field(this, QStringLiteral("marker_field"));
    message_label_ = field(this, QStringLiteral("message_field"));
    message_label_->setMinimumWidth(40);
    // The message takes the room that is left; the fields keep theirs.
    addWidget(message_label_, 1);
    for (QLabel* label : {port_, frames_, health_, age_, log_, marker_}) addPermanentWidget(label);
    health_->hide();
    age_->hide();
    marker_->hide();
}

void StatusBar::show_status(const PanelStatus& s) {
    const QLocale locale;
    set_text(port_, QStringLiteral("%1: %2").arg(s.port.isEmpty() ? QStringLiteral("no port") : s.port, s.port_state));
    QString frames = QStringLiteral("%1 frames").arg(locale.toString(static_cast<qulonglong>(s.frames)));
    if (s.show_rate) frames += QStringLiteral(", %1/s").arg(qRound(s.frames_per_second));
    set_text(frames_, frames);
    QStringList health;
    if (s.short_frames) health << QStringLiteral("%1 short").arg(locale.toString(static_cast<qulonglong>(s.short_frames)));
    if (s.wrapped_frames) health << QStringLiteral("%1 overlong").arg(locale.toString(static_cast<qulonglong>(s.wrapped_frames)));
    set_text(health_, health.join(QStringLiteral(", ")),
             QStringLiteral("Frames that ended before 16 data bytes (short) or ran past them (overlong): a noisy or "
                            "mismatched line."));
    set_text(age_, s.quiet_seconds >= 2 ? QStringLiteral("last frame %1 s ago").arg(s.quiet_seconds) : QString());
    const QString log_name = QFileInfo(s.log_path).fileName();
    set_text(log_, s.logging ? QStringLiteral("log %1: %2").arg(log_name, s.log_state) : QStringLiteral("logging off"),
             s.log_path);
    set_text(marker_, s.marker);
}

void StatusBar::show_message(const QString& sentence) {
    if (sentence.isEmpty()) return;
    if (history_.isEmpty() || history_.last().text != sentence) {
        history_.append({QDateTime::currentDateTime(), sentence});
        if (history_.size() > kMostMessagesKept) history_.removeFirst();
    }
    message_ = sentence;
    message_label_->setToolTip(sentence);
    elide_message();
}

QString StatusBar::fields_text() const {
    QStringList parts;
    for (QLabel* label : {port_, frames_, health_, age_, log_, marker_})
        if (!label->isHidden() && !label->text().isEmpty()) parts << label->text();
    return parts.join(QStringLiteral(" | "));
}

void StatusBar::resizeEvent(QResizeEvent* event) {
    QStatusBar::resizeEvent(event);
    elide_message();
}

// A long message (a by-id path, the permission hint) loses its middle, never its start or end.
void StatusBar::elide_message() {
    const int room = std::max(40, message_label_->width());
    const QString shown = message_label_->fontMetrics().elidedText(message_, Qt::ElideMiddle, room);
    if (message_label_->text() != shown) message_label_->setText(shown);
}

}  // namespace sensor
