// The trend plot widget: the picture's changes to the screen, the cursor line, pointer and keys.
#include "trends/window/trend_plot.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

namespace sensor {

namespace {

QString accessible_name(PlotKind kind) {
    switch (kind) {
    case PlotKind::Ultrasonic: return QStringLiteral("Ultrasonic distance plot");
    case PlotKind::Infrared: return QStringLiteral("Infrared distance plot");
    case PlotKind::Ground: return QStringLiteral("Ground reading plot");
    }
    return {};
}

}  // namespace

TrendPlot::TrendPlot(PlotKind kind, QWidget* parent) : QWidget(parent), picture_(kind) {
    setMouseTracking(true);
    setMinimumHeight(120);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(accessible_name(kind));
}

void TrendPlot::show_view(const ReducedColumns* columns, const History* history) {
    columns_ = columns;
    history_ = history;
    bring_up_to_date();
}

void TrendPlot::bring_up_to_date() {
    if (!columns_ || !history_) {
        update();
        return;
    }
    const TrendPicture::Change change = picture_.update(*columns_, *history_, size(), devicePixelRatioF(), font(), palette());
    if (toolTip() != picture_.shortened()) setToolTip(picture_.shortened());
    if (change.all) {
        update();
        return;
    }
    if (change.shift > 0) {
        // The screen moves what is drawn; only what moved in and what changed is painted.
        scroll(-change.shift, 0, picture_.moving_rect(size()));
        if (cursor_column_ >= 0) {
            update(cursor_rect(cursor_column_ - change.shift));
            update(cursor_rect(cursor_column_));
        }
    }
    if (!change.region.isEmpty()) update(change.region);
}

void TrendPlot::set_fixed_range(bool fixed) {
    if (fixed == picture_.fixed_range()) return;
    picture_.set_fixed_range(fixed);
    bring_up_to_date();
}

void TrendPlot::set_time_labels(bool shown) {
    picture_.set_time_labels(shown);
    bring_up_to_date();
}

void TrendPlot::set_marker_labels(bool shown) {
    picture_.set_marker_labels(shown);
    bring_up_to_date();
}

QRect TrendPlot::cursor_rect(int column) const {
    const QRect area = picture_.area(size());
    return {area.left() + column, area.top(), 1, area.height()};
}

void TrendPlot::set_cursor_column(int column) {
    if (column == cursor_column_) return;
    if (cursor_column_ >= 0) update(cursor_rect(cursor_column_));
    cursor_column_ = column;
    if (cursor_column_ >= 0) update(cursor_rect(cursor_column_));
}

void TrendPlot::paintEvent(QPaintEvent* event) {
    // Resized since the last view: the picture follows at once, the new view comes after.
    if (picture_.size() != size() && columns_ && history_) {
        picture_.update(*columns_, *history_, size(), devicePixelRatioF(), font(), palette());
        if (toolTip() != picture_.shortened()) setToolTip(picture_.shortened());
    }
    QPainter painter(this);
    picture_.paint(painter, event->region());
    if (cursor_column_ >= 0 && cursor_column_ < plot_width()) {
        const QRect line = cursor_rect(cursor_column_);
        painter.setPen(QPen(QColor(60, 60, 60), 1, Qt::DotLine));
        painter.drawLine(QPointF(line.left() + 0.5, line.top()), QPointF(line.left() + 0.5, line.bottom()));
    }
    // The focus shows as a bar in the left margin, clear of the columns that scroll.
    if (hasFocus()) painter.fillRect(QRect(0, 0, 3, height()), palette().highlight());
}

void TrendPlot::resizeEvent(QResizeEvent* event) {
    if (TrendPicture::plot_width_for(event->size().width()) != TrendPicture::plot_width_for(event->oldSize().width())) {
        emit plot_width_changed();
    }
}

void TrendPlot::mouseMoveEvent(QMouseEvent* event) {
    const int column = static_cast<int>(event->position().x()) - kLeftMargin;
    emit hovered(column >= 0 && column < plot_width() ? column : -1);
}

void TrendPlot::leaveEvent(QEvent*) { emit hovered(-1); }

void TrendPlot::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left: emit cursor_moved(CursorMove::Previous); break;
    case Qt::Key_Right: emit cursor_moved(CursorMove::Next); break;
    case Qt::Key_Home: emit cursor_moved(CursorMove::First); break;
    case Qt::Key_End: emit cursor_moved(CursorMove::Last); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void TrendPlot::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update(QRect(0, 0, 3, height()));
}

void TrendPlot::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update(QRect(0, 0, 3, height()));
}

}  // namespace sensor
