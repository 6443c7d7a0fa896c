// Prepared static texts by font and text.
#include "trends/window/label_cache.h"

#include <QPainter>

#include <cmath>

namespace sensor {

const QStaticText& LabelCache::get(const QFont& font, const QString& text) const {
    ForFont* cache = nullptr;
    for (ForFont& f : fonts_) {
        if (f.font == font && f.font.resolveMask() == font.resolveMask()) cache = &f;
    }
    if (!cache) {
        cache = &fonts_[next_];
        next_ = (next_ + 1) % fonts_.size();
        cache->font = font;
        cache->labels.clear();
    }
    // Time labels change as the view moves on; a few hundred distinct ones are plenty to keep.
    if (cache->labels.size() > 512) cache->labels.clear();
    auto found = cache->labels.find(text);
    if (found == cache->labels.end()) {
        QStaticText prepared(text);
        prepared.setTextFormat(Qt::PlainText);
        prepared.prepare(QTransform(), font);
        found = cache->labels.insert(text, prepared);
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
