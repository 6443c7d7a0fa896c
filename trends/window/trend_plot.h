// One trend plot as a widget: it brings its picture up to date with the view, lets the screen
// scroll what moved on and repaints only what changed, and draws the readout cursor over it.
// Reports the pixel column under the pointer; takes the focus, and its arrow keys move the
// readout cursor.
#pragma once

#include <QWidget>

#include "trends/readout_cursor.h"
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

    // The view to draw, kept by pointer until the next call.
    void show_view(const ReducedColumns* columns, const History* history);
    void set_fixed_range(bool fixed);
    void set_time_labels(bool shown);
    void set_marker_labels(bool shown);
    void set_cursor_column(int column);  // -1: none

signals:
    void hovered(int column);  // -1 when the pointer leaves the plot area
    void cursor_moved(sensor::CursorMove move);
    void plot_width_changed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void bring_up_to_date();
    QRect cursor_rect(int column) const;

    TrendPicture picture_;
    const ReducedColumns* columns_ = nullptr;
    const History* history_ = nullptr;
    int cursor_column_ = -1;
};

}  // namespace sensor
