// Prepared static texts by text and font.
#include "trends/window/label_cache.h"

#include <QPainter>

#include <cmath>

namespace sensor {

const QStaticText& LabelCache::get(const QFont& font, const QString& text) const {
    // Time labels change as the view moves on; a few hundred distinct ones are plenty to keep.
    if (labels_.size() > 512) labels_.clear();
    const QString key = text + QChar(0x1f) + font.key();
    auto found = labels_.find(key);
    if (found == labels_.end()) {
        QStaticText prepared(text);
        prepared.setTextFormat(Qt::PlainText);
        prepared.prepare(QTransform(), font);
        found = labels_.insert(key, prepared);
    }
    return *found;
}

void LabelCache::draw(QPainter& painter, const QRectF& rect, int flags, const QString& text) const {
    const QStaticText& prepared = get(painter.font(), text);
    const QSizeF size = prepared.size();
    double x = rect.left();
    if (flags & Qt::AlignRight) x = rect.right() - size.width();
    if (flags & Qt::AlignHCenter) x = rect.center().x() - size.width() / 2;
    double y = rect.top();
    if (flags & Qt::AlignBottom) y = rect.bottom() - size.height();
    if (flags & Qt::AlignVCenter) y = rect.center().y() - size.height() / 2;
    painter.drawStaticText(QPointF(std::round(x), std::round(y)), prepared);
}

}  // namespace sensor
