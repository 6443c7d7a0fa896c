#include "panel/window/message_line.h"

#include <QPainter>
#include <QTextLayout>

namespace sensor {

MessageLine::MessageLine(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("message_field"));
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

QSize MessageLine::sizeHint() const { return {0, kLines * fontMetrics().lineSpacing() + 2}; }

void MessageLine::set_message(const QString& message) {
    if (message == message_) return;
    message_ = message;
    setToolTip(message);
    setAccessibleName(message);
    lay_out();
    update();
}

void MessageLine::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    lay_out();
}

// Wraps at words into the lines there are; what does not fit is cut from the last line's end.
void MessageLine::lay_out() {
    shown_.clear();
    const int width = std::max(1, this->width());
    QTextLayout layout(message_, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (int n = 0; n < kLines; ++n) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) break;
        line.setLineWidth(width);
        QString text = message_.mid(line.textStart(), line.textLength());
        if (n == kLines - 1 && line.textStart() + line.textLength() < message_.size())
            text = fontMetrics().elidedText(message_.mid(line.textStart()), Qt::ElideRight, width);
        shown_ += (n ? QStringLiteral("\n") : QString()) + text.trimmed();
    }
    layout.endLayout();
}

void MessageLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    const int spacing = fontMetrics().lineSpacing();
    int y = 1;
    for (const QString& line : shown_.split(QLatin1Char('\n'))) {
        painter.drawText(QRect(0, y, width(), spacing), Qt::AlignLeft | Qt::AlignVCenter, line);
        y += spacing;
    }
}

}  // namespace sensor
