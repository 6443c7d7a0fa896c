// Per-column strokes written into the image's scan lines.
#include "trends/window/column_strokes.h"

#include <algorithm>
#include <cmath>

namespace sensor {

std::vector<QLine> stroke_columns(QImage& image, const RowMap& rows, std::span<const ChannelColumn> columns, QRgb pixel) {
    if (image.format() != QImage::Format_ARGB32_Premultiplied) image.convertTo(QImage::Format_ARGB32_Premultiplied);
    pixel = qPremultiply(pixel);
    const qreal ratio = image.devicePixelRatio();
    auto device = [&](int logical) { return static_cast<int>(std::floor(logical * ratio)); };
    // Taken once: scanLine() checks for a shared copy on every call.
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    auto stroke = [&](int x, int top, int bottom) {
        const int x0 = std::clamp(device(x), 0, image.width() - 1);
        const int x1 = std::clamp(std::max(device(x + 1), x0 + 1), 1, image.width());
        const int y0 = std::clamp(device(top), 0, image.height() - 1);
        const int y1 = std::clamp(std::max(device(bottom + 1), y0 + 1), 1, image.height());
        for (int row = y0; row < y1; ++row) {
            auto* line = reinterpret_cast<QRgb*>(bits + row * stride);
            std::fill(line + x0, line + x1, pixel);
        }
    };

    std::vector<QLine> bridges;
    const int left = rows.area.left();
    const int width = std::min(static_cast<int>(columns.size()), rows.area.width());
    int previous = -1;
    int previous_last = 0;
    for (int col = 0; col < width; ++col) {
        const ChannelColumn& column = columns[static_cast<std::size_t>(col)];
        const ChannelSummary& s = column.summary;
        if (s.values == 0) continue;
        int top = rows.row(s.max);
        int bottom = rows.row(s.min);
        if (column.joins_previous && previous >= 0) {
            if (col - previous == 1) {
                top = std::min(top, previous_last);
                bottom = std::max(bottom, previous_last);
            } else {
                bridges.emplace_back(left + previous, previous_last, left + col, rows.row(s.first));
            }
        }
        stroke(left + col, top, bottom);
        previous = col;
        previous_last = rows.row(s.last);
    }
    return bridges;
}

}  // namespace sensor
