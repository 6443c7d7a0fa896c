// The picture of one trend plot, painted from the reduced columns into an image: the traces in
// fixed colours per module or sensor, a legend, axes, "ERR"/"OK" marks at the edges and, for the
// ground sensors, the threshold and the verdict bands.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QLine>
#include <QPalette>
#include <QHash>
#include <QRect>
#include <QStaticText>
#include <QString>

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "trends/column_reduction.h"
#include "trends/window/plot_scale.h"

class QPainter;

namespace sensor {

class TrendPicture {
public:
    // Every plot has the same margins, so stacked plots' columns line up on one time axis.
    static constexpr int kLeftMargin = 64;
    static constexpr int kRightMargin = 12;
    static int plot_width_for(int picture_width) { return picture_width - kLeftMargin - kRightMargin; }

    explicit TrendPicture(PlotKind kind);

    // One colour per module (both distance plots) and per ground sensor, here and in every legend.
    static QColor colour(Channel channel);
    std::span<const Channel> channels() const;
    PlotKind kind() const { return kind_; }

    // The columns to draw, kept by pointer; times are shown as run time since origin_ns.
    void set_columns(const ReducedColumns* columns, std::int64_t origin_ns);
    void set_fixed_range(bool fixed) { fixed_range_ = fixed; }
    bool fixed_range() const { return fixed_range_; }
    void set_time_labels(bool shown) { time_labels_ = shown; }

    // Where the data goes in a picture of this size.
    QRect area(QSize size) const;

    // Paints the whole picture into a 32-bit image, whose size over its device pixel ratio is the
    // picture's size.
    void render(QImage& image, const QFont& font, const QPalette& palette) const;

private:
    struct Layout;
    Layout layout(QSize size) const;
    bool have_columns() const;
    // Labels are laid out once and kept, so a redraw does not shape the same text again.
    const QStaticText& label(const QPainter& painter, const QString& text) const;
    void draw_label(QPainter& painter, const QRectF& rect, int flags, const QString& text) const;
    void paint_axes(QPainter& painter, const Layout& l, const RowMap& y, const QFont& font, const QPalette& palette) const;
    // Returns, per channel, the lines that join columns across empty ones.
    std::array<std::vector<QLine>, 3> stroke_traces(QImage& image, const RowMap& y) const;
    void paint_marks(QPainter& painter, const Layout& l, const std::array<std::vector<QLine>, 3>& bridges,
                     const QFont& font) const;

    PlotKind kind_;
    const ReducedColumns* columns_ = nullptr;
    std::int64_t origin_ns_ = 0;
    bool fixed_range_ = false;
    bool time_labels_ = false;
    mutable QHash<QString, QStaticText> labels_;
};

}  // namespace sensor
