#include "panel/window/status_bar.h"

#include <QEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QRegularExpression>

#include <cmath>
#include <QStringList>

namespace sensor {
namespace {

constexpr int kMostMessagesKept = 1000;

void set_text(QLabel* label, const QString& text, const QString& tip = {}) {
    if (label->text() != text) label->setText(text);
    if (label->toolTip() != tip) label->setToolTip(tip);
    label->setVisible(!text.isEmpty());
}

// A field whose numbers change keeps a fixed size while only its numbers change, grown in steps
// of four digits and not shrunk, so a new count repaints the field alone instead of re-laying out
// the window. A text of another shape ("cannot write: ...") is measured afresh.
void set_counting_text(QLabel* label, const QString& text, const QString& tip = {}) {
    set_text(label, text, tip);
    static const QRegularExpression numbers(QStringLiteral("[0-9.,]"));
    QString shape = text;
    shape.remove(numbers);
    if (text.isEmpty() || shape != label->property("fitted_shape").toString()) {
        label->setMinimumSize(0, 0);
        label->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        label->setProperty("fitted_shape", shape);
        label->setProperty("fitted_length", 0);
        if (text.isEmpty()) return;
    }
    if (text.size() <= label->property("fitted_length").toInt()) return;
    const QSize hint = label->sizeHint();
    const int step = 4 * label->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const int fixed = label->maximumWidth() == QWIDGETSIZE_MAX ? 0 : label->maximumWidth();
    label->setFixedSize(std::max(fixed, (hint.width() + step - 1) / step * step), hint.height());
    label->setProperty("fitted_length", text.size());
}

QLabel* field(QWidget* parent, const QString& name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    // Plain labels: selectable text keeps a text document that re-lays out the window on every
    // change, twice a second. The full texts are in tooltips and View > Messages.
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
    replay_ = field(this, QStringLiteral("replay_field"));
    replay_bar_ = new QProgressBar(this);
    replay_bar_->setObjectName(QStringLiteral("replay_bar"));
    replay_bar_->setMaximumWidth(120);
    replay_bar_->setTextVisible(false);
    replay_bar_->setRange(0, 1000);
    message_label_ = field(this, QStringLiteral("message_field"));
    message_label_->setMinimumWidth(40);
    // The message takes what room the fields leave, and is elided to it whenever that changes.
    message_label_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    message_label_->installEventFilter(this);
    // The message takes the room that is left; the fields keep theirs.
    addWidget(message_label_, 1);
    for (QLabel* label : {port_, frames_, health_, age_, log_, marker_}) addPermanentWidget(label);
    addPermanentWidget(replay_bar_);
    addPermanentWidget(replay_);
    health_->hide();
    age_->hide();
    marker_->hide();
    replay_->hide();
    replay_bar_->hide();
}

void StatusBar::show_status(const PanelStatus& s) {
    const QLocale locale;
    set_text(port_, QStringLiteral("%1: %2").arg(s.port.isEmpty() ? QStringLiteral("no port") : s.port, s.port_state));
    QString frames = QStringLiteral("%1 frames").arg(locale.toString(static_cast<qulonglong>(s.frames)));
    if (s.show_rate) frames += QStringLiteral(", %1/s").arg(qRound(s.frames_per_second));
    set_counting_text(frames_, frames);
    QStringList health;
    if (s.short_frames) health << QStringLiteral("%1 short").arg(locale.toString(static_cast<qulonglong>(s.short_frames)));
    if (s.wrapped_frames) health << QStringLiteral("%1 overlong").arg(locale.toString(static_cast<qulonglong>(s.wrapped_frames)));
    set_text(health_, health.join(QStringLiteral(", ")),
             QStringLiteral("Frames that ended before 16 data bytes (short) or ran past them (overlong): a noisy or "
                            "mismatched line."));
    set_counting_text(age_, s.quiet_seconds >= 2 ? QStringLiteral("last frame %1 s ago").arg(s.quiet_seconds) : QString());
    const QString log_name = QFileInfo(s.log_path).fileName();
    set_counting_text(log_, s.logging ? QStringLiteral("log %1: %2").arg(log_name, s.log_state) : QStringLiteral("logging off"),
                      s.log_path);
    set_text(marker_, s.marker);
}

namespace {

QString clock_text(double seconds) {
    const auto s = static_cast<qint64>(std::floor(seconds));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString speed_text(double speed) {
    if (std::isinf(speed)) return QStringLiteral("fastest");
    if (speed == 0.25) return QStringLiteral("\u00bc\u00d7");
    return QStringLiteral("%1\u00d7").arg(speed);
}

}  // namespace

void StatusBar::show_replay(const std::optional<ReplayProgress>& replay) {
    replay_bar_->setVisible(replay.has_value());
    if (!replay) {
        set_text(replay_, QString());
        return;
    }
    const ReplayProgress& r = *replay;
    const int permille = r.size > 0 ? static_cast<int>(r.position * 1000 / r.size) : 0;
    if (replay_bar_->value() != permille) replay_bar_->setValue(permille);
    set_text(replay_, QStringLiteral("%1 / %2, %3%4")
                          .arg(clock_text(r.played_seconds), clock_text(r.total_seconds), speed_text(r.speed),
                               r.paused ? QStringLiteral(", paused") : QString()),
             QStringLiteral("%1 of %2 bytes replayed").arg(r.position).arg(r.size));
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
    for (QLabel* label : {port_, frames_, health_, age_, log_, marker_, replay_})
        if (!label->isHidden() && !label->text().isEmpty()) parts << label->text();
    return parts.join(QStringLiteral(" | "));
}

bool StatusBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == message_label_ && event->type() == QEvent::Resize) elide_message();
    return QStatusBar::eventFilter(watched, event);
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
