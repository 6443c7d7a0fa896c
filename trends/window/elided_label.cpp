// The label shows what fits of its text and keeps the whole for its tooltip.
#include "trends/window/elided_label.h"

#include <QFontMetrics>
#include <QResizeEvent>

namespace sensor {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::set_full_text(const QString& text) {
    if (text == full_) return;
    full_ = text;
    fit();
}

QSize ElidedLabel::minimumSizeHint() const { return {0, QLabel::minimumSizeHint().height()}; }

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fit();
}

void ElidedLabel::fit() {
    const QString shown = fontMetrics().elidedText(full_, Qt::ElideMiddle, std::max(contentsRect().width(), 0));
    setText(shown);
    setToolTip(shown == full_ ? QString() : full_);
}

}  // namespace sensor
