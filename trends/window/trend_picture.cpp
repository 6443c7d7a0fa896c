// A trend plot's picture: the frame when it changes, the columns whose content changed, and the
// two put together where the screen needs them.
#include "trends/window/trend_picture.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace sensor {

namespace {

constexpr int kMinTimeLabelGap = 70;

std::int64_t ceil_div(std::int64_t value, std::int64_t step) {
    std::int64_t q = value / step;
    if (value % step != 0 && value > 0) ++q;
    return q;
}

}  // namespace

std::size_t TrendPicture::ring_slot(std::int64_t absolute_column) const {
    const auto n = static_cast<std::int64_t>(drawn_.size());
    return static_cast<std::size_t>(((absolute_column % n) + n) % n);
}

QFont TrendPicture::small_font() const {
    QFont small = font_;
    small.setPointSizeF(small.pointSizeF() * 0.85);
    return small;
}

void TrendPicture::plan(const ReducedColumns& columns, const History& history, const RowMap& rows) {
    plan_columns(columns, channels(), rows, planned_);
    const int n = columns.width();
    const std::int64_t begin = columns.begin_ns(), end = columns.end_ns();
    // Time ticks on whole steps of run time, none before the first frame: the run starts there.
    const double tick_s = time_step(static_cast<double>(end - begin) / 1e9, n, kMinTimeLabelGap);
    const auto tick_ns = static_cast<std::int64_t>(std::llround(tick_s * 1e9));
    const std::int64_t origin = history.origin_ns();
    times_planned_.clear();
    for (std::int64_t k = std::max<std::int64_t>(0, ceil_div(begin - origin, tick_ns)); origin + k * tick_ns < end; ++k) {
        const auto c = static_cast<int>(columns.grid().column_of(origin + k * tick_ns, end));
        planned_[static_cast<std::size_t>(c)].time_tick = true;
        if (time_labels_) times_planned_.push_back({run_time_text(static_cast<double>(k) * tick_s, tick_s < 1 ? 1 : 0), c});
    }
    const MarkerStore& markers = history.markers();
    for (std::uint64_t m = markers.index_at_or_after(begin); m < markers.index_at_or_after(end); ++m) {
        planned_[static_cast<std::size_t>(columns.grid().column_of(markers.at(m).time_ns, end))].marker = true;
    }
}

std::vector<TrendPicture::MarkerLabel> TrendPicture::marker_labels(const ReducedColumns& columns, const History& history,
                                                                    const PlotLayout& l) const {
    std::vector<MarkerLabel> out;
    if (!marker_labels_) return out;
    const MarkerStore& markers = history.markers();
    const QFontMetrics metrics(small_font());
    for (std::uint64_t m = markers.index_at_or_after(columns.begin_ns()); m < markers.index_at_or_after(columns.end_ns()); ++m) {
        const StoredMarker marker = markers.at(m);
        const QString text = QString::fromUtf8(marker.label.data(), static_cast<qsizetype>(marker.label.size()));
        const int x = l.area.left() + static_cast<int>(columns.grid().column_of(marker.time_ns, columns.end_ns()));
        // Left of its line, so a marker just set at the newest column is read whole.
        const int width = metrics.horizontalAdvance(text) + 6;
        out.push_back({m, QRect(x - 1 - width, l.area.top() + 2, width, metrics.height() + 2), text});
    }
    return out;
}

TrendPicture::Change TrendPicture::update(const ReducedColumns& columns, const History& history, QSize size, qreal ratio,
                                          const QFont& font, const QPalette& palette) {
    const PlotLayout l(kind_, size, time_labels_);
    const int n = std::min(columns.width(), l.area.width());
    const ValueRange range = fixed_range_ || n <= 0 ? full_range(kind_) : fitted_range(kind_, value_range(columns, channels()));
    const RowMap rows{l.area, range};
    const bool empty = columns.first_with_frames() >= columns.width();
    const bool whole_ratio = ratio >= 1 && std::abs(ratio - std::round(ratio)) < 1e-9;
    const std::int64_t shift = made_ ? grid_.shift(end_ns_, columns.end_ns()) : 0;
    // Anything but moving on, a newer column or a marker changes every column or the frame.
    const bool all = !made_ || !whole_ratio || size != size_ || ratio != ratio_ || font != font_ || palette != palette_ ||
                     fixed_range_ != fixed_drawn_ || !(range == range_) || empty != empty_ || !(columns.grid() == grid_) ||
                     n != columns.width() || shift < 0 || shift >= std::max(n, 1);
    if (n > 0) plan(columns, history, rows);
    first_column_ = columns.grid().absolute_column(columns.begin_ns());
    end_ns_ = columns.end_ns();

    if (all) {
        made_ = true;
        size_ = size;
        ratio_ = ratio;
        font_ = font;
        palette_ = palette;
        fixed_drawn_ = fixed_range_;
        range_ = range;
        empty_ = empty;
        grid_ = columns.grid();
        columns_rect_ = l.columns;
        columns_rect_.setWidth(std::max(n, 0));
        const QSize pixels = (QSizeF(size) * ratio).toSize();
        if (frame_.size() != pixels) frame_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        frame_.setDevicePixelRatio(ratio);
        shortened_ = paint_plot_frame(frame_, kind_, l, rows, font, palette, labels_);
        times_drawn_ = times_planned_;
        if (time_labels_) paint_time_labels(frame_, l, times_drawn_, font, palette, labels_);
        drawn_.assign(static_cast<std::size_t>(std::max(n, 0)), ColumnContent{});
        markers_drawn_.clear();
        if (n <= 0) return {};
        style_ = column_style(kind_, l, rows, palette.window().color().rgb());
        const int whole = static_cast<int>(std::lround(ratio));
        const QSize ring_pixels(n * whole, l.columns.height() * whole);
        if (ring_.size() != ring_pixels) ring_ = QImage(ring_pixels, QImage::Format_ARGB32_Premultiplied);
        ring_.setDevicePixelRatio(whole);
        paint_base(ring_, style_);
        for (int c = 0; c < n; ++c) {
            const std::size_t slot = ring_slot(first_column_ + c);
            drawn_[slot] = planned_[static_cast<std::size_t>(c)];
            paint_column(ring_, static_cast<int>(slot), first_column_ + c, drawn_[slot], style_, true);
        }
        markers_drawn_ = marker_labels(columns, history, l);
        return {};
    }

    Change change{false, static_cast<int>(shift), {}};
    int run = -1;
    auto close_run = [&](int end) {
        if (run >= 0) change.region += QRect(l.columns.left() + run, l.columns.top(), end - run, l.columns.height());
        run = -1;
    };
    for (int c = 0; c < n; ++c) {
        const std::size_t slot = ring_slot(first_column_ + c);
        const ColumnContent& wanted = planned_[static_cast<std::size_t>(c)];
        // Columns the view moved on to hold what scrolled out on the other side.
        if (c >= n - shift || !(drawn_[slot] == wanted)) {
            drawn_[slot] = wanted;
            paint_column(ring_, static_cast<int>(slot), first_column_ + c, wanted, style_, false);
            if (run < 0) run = c;
        } else {
            close_run(c);
        }
    }
    close_run(n);
    if (time_labels_ && times_planned_ != times_drawn_) {
        times_drawn_ = times_planned_;
        paint_time_labels(frame_, l, times_drawn_, font_, palette_, labels_);
        change.region += QRect(0, l.time_labels.top(), size_.width(), l.time_labels.height());
    }
    // A marker's name moves with the columns; one that is new, or gone, is painted where it is.
    std::vector<MarkerLabel> labels = marker_labels(columns, history, l);
    auto moved = [&](const MarkerLabel& before) { return before.rect.translated(-change.shift, 0); };
    for (const MarkerLabel& now : labels) {
        const auto before = std::find_if(markers_drawn_.begin(), markers_drawn_.end(), [&](const MarkerLabel& m) { return m.index == now.index; });
        if (before == markers_drawn_.end() || moved(*before) != now.rect) change.region += now.rect;
    }
    for (const MarkerLabel& before : markers_drawn_) {
        const auto now = std::find_if(labels.begin(), labels.end(), [&](const MarkerLabel& m) { return m.index == before.index; });
        if (now == labels.end() || now->rect != moved(before)) change.region += moved(before);
    }
    markers_drawn_ = std::move(labels);
    return change;
}

void TrendPicture::paint(QPainter& painter, const QRegion& region) const {
    if (frame_.isNull()) return;
    const QRegion todo = region.isEmpty() ? QRegion(QRect(QPoint(0, 0), size_)) : region & QRect(QPoint(0, 0), size_);
    const auto device = [this](const QRect& r) { return QRectF(r.x() * ratio_, r.y() * ratio_, r.width() * ratio_, r.height() * ratio_); };
    for (const QRect& r : todo - columns_rect_) painter.drawImage(QRectF(r), frame_, device(r));
    const int n = static_cast<int>(drawn_.size());
    for (const QRect& r : todo & columns_rect_) {
        int c = r.left() - columns_rect_.left();
        const int end = r.right() + 1 - columns_rect_.left();
        while (c < end) {
            // A run of columns next to each other in the ring, up to its end.
            const auto slot = static_cast<int>(ring_slot(first_column_ + c));
            const int run = std::min(end - c, n - slot);
            painter.drawImage(QRectF(QRect(columns_rect_.left() + c, r.top(), run, r.height())), ring_,
                              device(QRect(slot, r.top() - columns_rect_.top(), run, r.height())));
            c += run;
        }
    }

    const QRect area = PlotLayout(kind_, size_, time_labels_).area;
    const QRegion overlay = todo & area;
    if (overlay.isEmpty() || (markers_drawn_.empty() && !empty_)) return;
    painter.save();
    painter.setClipRegion(overlay);
    if (empty_) {
        painter.setPen(frame_colour());
        painter.setFont(font_);
        labels_.draw(painter, area, Qt::AlignCenter, QStringLiteral("No frames in this time span"));
    }
    painter.setFont(small_font());
    for (const MarkerLabel& m : markers_drawn_) {
        if (!overlay.intersects(m.rect)) continue;
        painter.fillRect(m.rect, Qt::white);
        painter.setPen(marker_colour());
        labels_.draw(painter, m.rect, Qt::AlignCenter, m.text);
    }
    painter.restore();
}

void TrendPicture::render(QImage& image, const ReducedColumns& columns, const History& history, const QFont& font,
                          const QPalette& palette) {
    const qreal ratio = image.devicePixelRatio();
    made_ = false;
    update(columns, history, (QSizeF(image.size()) / ratio).toSize(), ratio, font, palette);
    QPainter painter(&image);
    paint(painter, QRegion());
}

}  // namespace sensor
