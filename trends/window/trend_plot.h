// One trend plot as a widget: it keeps its picture in an image, repaints it only when its columns
// or options change, and draws the hover cursor line over it. Reports the pixel column under
// the pointer.
#pragma once

#include <QImage>
#include <QWidget>

#include <cstdint>

#include "trends/window/trend_picture.h"

namespace sensor {

class TrendPlot : public QWidget {
    Q_OBJECT
public:
    static constexpr int kLeftMargin = TrendPicture::kLeftMargin;

    explicit TrendPlot(PlotKind kind, QWidget* parent = nullptr);

    static QColor colour(Channel channel) { return TrendPicture::colour(channel); }
    const TrendPicture& picture() const { return picture_; }

    // The number of pixel columns data is drawn in.
    int plot_width() const { return TrendPicture::plot_width_for(width()); }

    // The columns to draw, kept by pointer until the next call.
    void set_columns(const ReducedColumns* columns, std::int64_t origin_ns);
    void set_fixed_range(bool fixed);
    void set_time_labels(bool shown);
    void set_hover_column(int column);  // -1: none

signals:
    void hovered(int column);  // -1 when the pointer leaves the plot area
    void plot_width_changed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void picture_changed();

    TrendPicture picture_;
    int hover_column_ = -1;
    QImage cache_;
    bool cache_stale_ = true;
};

}  // namespace sensor
