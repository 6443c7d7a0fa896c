#include "panel/window/status_fields.h"

#include <QEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QStringList>
#include <QToolTip>

#include <algorithm>
#include <vector>

namespace sensor {
namespace {

constexpr int kGap = 13;  // between fields, a separator in its middle

}  // namespace

StatusFields::StatusFields(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("status_fields"));
    setAccessibleName(tr("Status"));
    // The row takes the width it is given and never asks for more.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void StatusFields::set(Field field, const QString& text, const QString& tip) {
    Entry& e = fields_[field];
    if (e.text == text && e.tip == tip) return;
    e.text = text;
    e.tip = tip;
    lay_out();
    setAccessibleDescription(joined());
    update();
}

QString StatusFields::joined() const {
    QStringList parts;
    for (const Entry& e : fields_)
        if (!e.text.isEmpty()) parts << e.text;
    return parts.join(QStringLiteral(" | "));
}

QRect StatusFields::field_rect(Field field) const { return fields_[field].rect; }

QString StatusFields::shown(Field field) const { return fields_[field].shown; }

QSize StatusFields::sizeHint() const { return {0, fontMetrics().height() + 4}; }

QSize StatusFields::minimumSizeHint() const { return sizeHint(); }

void StatusFields::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    lay_out();
}

// Every field at its natural width while they fit; else the widest are cut to one width, the
// largest that lets the row fit, so short fields (the state, the counts) stay whole longest.
void StatusFields::lay_out() {
    const QFontMetrics metrics = fontMetrics();
    std::vector<Entry*> shown;
    std::vector<int> natural;
    for (Entry& e : fields_) {
        e.rect = QRect();
        e.shown.clear();
        if (e.text.isEmpty()) continue;
        shown.push_back(&e);
        natural.push_back(metrics.horizontalAdvance(e.text) + 1);
    }
    if (shown.empty()) return;
    const int room = std::max(0, width() - kGap * static_cast<int>(shown.size() - 1));
    int total = 0;
    for (int w : natural) total += w;
    int cap = std::max(total, 1);
    if (total > room) {
        std::vector<int> sorted = natural;
        std::sort(sorted.begin(), sorted.end());
        int below = 0;  // the widths under the cap, summed
        for (std::size_t i = 0; i < sorted.size(); ++i) {
            const int rest = static_cast<int>(sorted.size() - i);
            const int even = (room - below) / rest;
            if (even <= sorted[i]) {
                cap = std::max(even, 0);
                break;
            }
            below += sorted[i];
        }
    }
    int x = 0;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const int w = std::min(natural[i], cap);
        shown[i]->rect = QRect(x, 0, w, height());
        // A port's name gives way in its middle, so its state at the end stays readable.
        const Qt::TextElideMode mode = shown[i] == &fields_[Port] ? Qt::ElideMiddle : Qt::ElideRight;
        shown[i]->shown = w >= natural[i] ? shown[i]->text : metrics.elidedText(shown[i]->text, mode, w);
        x += w + kGap;
    }
}

void StatusFields::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor separator = palette().color(QPalette::Mid);
    bool first = true;
    for (const Entry& e : fields_) {
        if (e.rect.isNull()) continue;
        if (!first) {
            const int x = e.rect.left() - kGap / 2 - 1;
            painter.setPen(separator);
            painter.drawLine(x, 3, x, height() - 4);
        }
        first = false;
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(e.rect, Qt::AlignLeft | Qt::AlignVCenter, e.shown);
    }
}

bool StatusFields::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    for (const Entry& e : fields_) {
        if (!e.rect.contains(help->pos())) continue;
        QString tip = e.shown != e.text ? e.text : QString();
        if (!e.tip.isEmpty()) tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) + e.tip;
        if (!tip.isEmpty()) {
            QToolTip::showText(help->globalPos(), tip, this, e.rect);
            return true;
        }
    }
    QToolTip::hideText();
    event->ignore();
    return true;
}

}  // namespace sensor
