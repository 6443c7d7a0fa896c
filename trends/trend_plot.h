// One trend plot drawn with QPainter from the reduced columns: the traces in fixed colours per
// module or sensor, a legend, axes, "ERR"/"OK" marks at the edges and, for the ground sensors,
// the threshold and the verdict bands. The picture is cached; hovering only redraws a cursor line.
#pragma once

#include <QColor>
#include <QImage>
#include <QLine>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "trends/column_reduction.h"
#include "trends/plot_scale.h"

namespace sensor {

class TrendPlot : public QWidget {
    Q_OBJECT
public:
    // Every plot has the same margins, so their columns line up on one time axis.
    static constexpr int kLeftMargin = 64;
    static constexpr int kRightMargin = 12;

    explicit TrendPlot(PlotKind kind, QWidget* parent = nullptr);

    // One colour per module (both distance plots) and per ground sensor, here and in every legend.
    static QColor colour(Channel channel);
    std::span<const Channel> channels() const;
    PlotKind kind() const { return kind_; }

    // The number of pixel columns data is drawn in.
    int plot_width() const { return plot_width_for(width()); }
    static int plot_width_for(int widget_width) { return widget_width - kLeftMargin - kRightMargin; }

    // The columns to draw, kept by pointer until the next call; times are shown as run time since
    // origin_ns.
    void set_columns(const ReducedColumns* columns, std::int64_t origin_ns);
    void set_fixed_range(bool fixed);
    void set_time_labels(bool shown);
    void set_hover_column(int column);  // -1: none

    // The whole picture without the cursor line, as the widget shows it, into a 32-bit image of
    // the widget's size times the image's device pixel ratio.
    void render(QImage& image) const;

signals:
    void hovered(int column);  // -1 when the pointer leaves the plot area
    void plot_width_changed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    struct Layout;
    struct YMap;
    Layout layout(QSize size) const;
    bool have_columns() const;
    void paint_axes(QPainter& painter, const Layout& l, const YMap& y) const;
    // Returns, per channel, the lines that join columns across empty ones.
    std::array<std::vector<QLine>, 3> stroke_traces(QImage& image, const Layout& l, const YMap& y) const;
    void paint_marks(QPainter& painter, const Layout& l, const std::array<std::vector<QLine>, 3>& bridges) const;

    PlotKind kind_;
    const ReducedColumns* columns_ = nullptr;
    std::int64_t origin_ns_ = 0;
    bool fixed_range_ = false;
    bool time_labels_ = false;
    int hover_column_ = -1;
    QImage cache_;
    bool cache_stale_ = true;
};

}  // namespace sensor
