// The trend plot widget: the cached picture, the cursor line and the pointer's column.
#include "trends/window/trend_plot.h"

#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

namespace sensor {

TrendPlot::TrendPlot(PlotKind kind, QWidget* parent) : QWidget(parent), picture_(kind) {
    setMouseTracking(true);
    setMinimumHeight(120);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TrendPlot::picture_changed() {
    cache_stale_ = true;
    update();
}

void TrendPlot::set_columns(const ReducedColumns* columns, std::int64_t origin_ns) {
    picture_.set_columns(columns, origin_ns);
    picture_changed();
}

void TrendPlot::set_fixed_range(bool fixed) {
    if (fixed == picture_.fixed_range()) return;
    picture_.set_fixed_range(fixed);
    picture_changed();
}

void TrendPlot::set_time_labels(bool shown) {
    picture_.set_time_labels(shown);
    picture_changed();
}

void TrendPlot::set_hover_column(int column) {
    if (column == hover_column_) return;
    hover_column_ = column;
    update();
}

void TrendPlot::paintEvent(QPaintEvent*) {
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (cache_stale_ || cache_.size() != pixels) {
        if (cache_.size() != pixels) cache_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        cache_.setDevicePixelRatio(ratio);
        picture_.render(cache_, font(), palette());
        cache_stale_ = false;
    }
    QPainter painter(this);
    painter.drawImage(0, 0, cache_);
    if (hover_column_ >= 0 && hover_column_ < plot_width()) {
        const QRect area = picture_.area(size());
        const double x = area.left() + hover_column_ + 0.5;
        painter.setPen(QPen(QColor(60, 60, 60), 1, Qt::DotLine));
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    }
}

void TrendPlot::resizeEvent(QResizeEvent* event) {
    cache_stale_ = true;
    if (TrendPicture::plot_width_for(event->size().width()) != TrendPicture::plot_width_for(event->oldSize().width())) {
        emit plot_width_changed();
    }
}

void TrendPlot::mouseMoveEvent(QMouseEvent* event) {
    const int column = static_cast<int>(event->position().x()) - kLeftMargin;
    emit hovered(column >= 0 && column < plot_width() ? column : -1);
}

void TrendPlot::leaveEvent(QEvent*) { emit hovered(-1); }

}  // namespace sensor
