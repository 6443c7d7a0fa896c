// Texts laid out once and kept, so a plot painted again does not shape the same label again.
#pragma once

#include <QFont>
#include <QHash>
#include <QRectF>
#include <QStaticText>
#include <QString>

#include <array>

class QPainter;

namespace sensor {

class LabelCache {
public:
    const QStaticText& get(const QFont& font, const QString& text) const;
    // Draws `text` in the painter's font, placed in `rect` by Qt alignment flags, on whole pixels.
    void draw(QPainter& painter, const QRectF& rect, int flags, const QString& text) const;

private:
    // A plot draws in two fonts at most: its own and a smaller one for bands and markers.
    struct ForFont {
        QFont font;
        QHash<QString, QStaticText> labels;
    };
    mutable std::array<ForFont, 2> fonts_;
    mutable std::size_t next_ = 0;
};

}  // namespace sensor
