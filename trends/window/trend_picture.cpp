// A trend plot's picture: the frame when it changes, the columns whose content changed, and the
// two put together where the screen needs them, with the texts that move with the columns.
#include "trends/window/trend_picture.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace sensor {

namespace {

constexpr int kMinTimeLabelGap = 70;

std::int64_t ceil_div(std::int64_t value, std::int64_t step) {
    std::int64_t q = value / step;
    if (value % step != 0 && value > 0) ++q;
    return q;
}

}  // namespace

QRect TrendPicture::moving_rect(QSize size) const {
    const PlotLayout l(kind_, size, time_labels_);
    return time_labels_ ? l.columns.united(QRect(l.columns.left(), l.time_labels.top(), l.columns.width(), l.time_labels.height()))
                        : l.columns;
}

std::size_t TrendPicture::ring_slot(std::int64_t absolute_column) const {
    const auto n = static_cast<std::int64_t>(drawn_.size());
    return static_cast<std::size_t>(((absolute_column % n) + n) % n);
}

QFont TrendPicture::small_font() const {
    QFont small = font_;
    small.setPointSizeF(small.pointSizeF() * 0.85);
    return small;
}

void TrendPicture::take_extremes(const ReducedColumns& columns, int from) {
    const auto chans = channels();
    for (int c = std::max(from, 0); c < static_cast<int>(extremes_.size()); ++c) {
        ValueRange e{std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()};
        for (const Channel channel : chans) {
            const ChannelSummary& s = columns.at(channel, c).summary;
            if (s.values == 0) continue;
            e.low = std::min(e.low, s.min);
            e.high = std::max(e.high, s.max);
        }
        extremes_[ring_slot(first_column_ + c)] = e;
    }
}

std::optional<ValueRange> TrendPicture::extremes() const {
    ValueRange all{std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()};
    for (const ValueRange& e : extremes_) {
        all.low = std::min(all.low, e.low);
        all.high = std::max(all.high, e.high);
    }
    if (all.low > all.high) return std::nullopt;
    return all;
}

int TrendPicture::plan(const ReducedColumns& columns, const History& history, const RowMap& rows, int from) {
    const MarkerStore& markers = history.markers();
    // A marker set since is drawn in the column of its time, with no column's sums changed.
    for (std::uint64_t m = std::max(markers_seen_, markers.begin_index()); m < markers.end_index(); ++m) {
        from = static_cast<int>(std::min<std::int64_t>(from, std::max<std::int64_t>(0, columns.grid().column_of(markers.at(m).time_ns, columns.end_ns()))));
    }
    markers_seen_ = markers.end_index();
    const int start = plan_columns(columns, channels(), rows, planned_, from);
    const std::int64_t begin = columns.begin_ns(), end = columns.end_ns();
    const double tick_s = time_step(static_cast<double>(end - begin) / 1e9, columns.width(), kMinTimeLabelGap);
    const auto tick_ns = static_cast<std::int64_t>(std::llround(tick_s * 1e9));
    const std::int64_t origin = history.origin_ns();
    for (std::int64_t k = std::max<std::int64_t>(ceil_div(begin - origin, tick_ns), 0); origin + k * tick_ns < end; ++k) {
        const auto c = static_cast<int>(columns.grid().column_of(origin + k * tick_ns, end));
        if (c >= start) planned_[static_cast<std::size_t>(c)].time_tick = true;
    }
    for (std::uint64_t m = markers.index_at_or_after(std::max(begin, columns.column_start_ns(start))); m < markers.index_at_or_after(end); ++m) {
        planned_[static_cast<std::size_t>(columns.grid().column_of(markers.at(m).time_ns, end))].marker = true;
    }
    return start;
}

std::vector<TrendPicture::Overlay> TrendPicture::overlays(const ReducedColumns& columns, const History& history,
                                                          const PlotLayout& l) const {
    std::vector<Overlay> out;
    const std::int64_t begin = columns.begin_ns(), end = columns.end_ns();
    if (time_labels_) {
        // Run time on whole steps, none before the first frame: the run starts there. Each label is
        // centred on its tick and kept whole inside the picture.
        const double tick_s = time_step(static_cast<double>(end - begin) / 1e9, columns.width(), kMinTimeLabelGap);
        const auto tick_ns = static_cast<std::int64_t>(std::llround(tick_s * 1e9));
        const std::int64_t origin = history.origin_ns();
        // The texts of the ticks in view are kept while the step stays, as the view moves on over them.
        if (tick_ns != tick_texts_ns_ || tick_texts_.size() > 256) {
            tick_texts_.clear();
            tick_texts_ns_ = tick_ns;
        }
        for (std::int64_t k = std::max<std::int64_t>(ceil_div(begin - origin, tick_ns), 0); origin + k * tick_ns < end; ++k) {
            auto found = tick_texts_.find(k);
            if (found == tick_texts_.end()) found = tick_texts_.emplace(k, run_time_text(static_cast<double>(k) * tick_s, tick_s < 1 ? 1 : 0)).first;
            const QString& text = found->second;
            const int width = static_cast<int>(std::ceil(labels_.get(font_, text).size().width()));
            const int centre = l.area.left() + static_cast<int>(columns.grid().column_of(origin + k * tick_ns, end));
            const int left = std::clamp(centre - width / 2, 0, std::max(size_.width() - width, 0));
            out.push_back({Overlay::Kind::Time, QRect(left, l.time_labels.top(), width, l.time_labels.height()), text});
        }
    }
    if (marker_labels_) {
        const MarkerStore& markers = history.markers();
        const QFontMetrics metrics(small_font());
        for (std::uint64_t m = markers.index_at_or_after(begin); m < markers.index_at_or_after(end); ++m) {
            const StoredMarker marker = markers.at(m);
            const QString text = QString::fromUtf8(marker.label.data(), static_cast<qsizetype>(marker.label.size()));
            const int x = l.area.left() + static_cast<int>(columns.grid().column_of(marker.time_ns, end));
            // Left of its line, so a marker just set at the newest column is read whole.
            const int width = metrics.horizontalAdvance(text) + 6;
            out.push_back({Overlay::Kind::Marker, QRect(x - 1 - width, l.area.top() + 2, width, metrics.height() + 2), text});
        }
    }
    return out;
}

QRegion TrendPicture::overlays_changed(const std::vector<Overlay>& now, int shift) const {
    // The screen moved what was inside the moving part by `shift`; a text that moved whole inside
    // it and is still there as it was needs nothing, any other is painted where it was and is.
    QRegion region;
    auto moved = [&](const Overlay& o) { return Overlay{o.kind, o.rect.translated(-shift, 0), o.text}; };
    auto inside = [&](const QRect& r) { return moving_rect_.contains(r); };
    for (const Overlay& before : overlays_) {
        const Overlay after = moved(before);
        const bool kept = inside(before.rect) && inside(after.rect) && std::find(now.begin(), now.end(), after) != now.end();
        if (!kept) region += before.rect.united(after.rect);
    }
    for (const Overlay& o : now) {
        const bool was = std::any_of(overlays_.begin(), overlays_.end(), [&](const Overlay& before) {
            return moved(before) == o && inside(before.rect) && inside(o.rect);
        });
        if (!was) region += o.rect;
    }
    return region;
}

TrendPicture::Change TrendPicture::update(const ReducedColumns& columns, const History& history, QSize size, qreal ratio,
                                          const QFont& font, const QPalette& palette) {
    const PlotLayout l(kind_, size, time_labels_);
    const int n = std::max(std::min(columns.width(), l.area.width()), 0);
    const bool empty = columns.first_with_frames() >= columns.width();
    const bool whole_ratio = ratio >= 1 && std::abs(ratio - std::round(ratio)) < 1e-9;
    const std::int64_t shift = made_ ? grid_.shift(end_ns_, columns.end_ns()) : 0;
    // Anything but moving on, a newer column or a marker changes every column or the frame.
    bool all = !made_ || !whole_ratio || size != size_ || ratio != ratio_ || font != font_ || palette != palette_ ||
               fixed_range_ != fixed_drawn_ || empty != empty_ || !(columns.grid() == grid_) || n != columns.width() ||
               shift < 0 || shift >= std::max(n, 1);
    first_column_ = columns.grid().absolute_column(columns.begin_ns());
    end_ns_ = columns.end_ns();
    if (all) {
        drawn_.assign(static_cast<std::size_t>(n), ColumnContent{});
        extremes_.assign(static_cast<std::size_t>(n), ValueRange{});
    }
    take_extremes(columns, all ? 0 : columns.changed_from());
    const ValueRange range = fixed_range_ || n == 0 ? full_range(kind_) : fitted_range(kind_, extremes());
    all = all || !(range == range_);
    const RowMap rows{l.area, range};
    const int start = n > 0 ? plan(columns, history, rows, all ? 0 : columns.changed_from()) : 0;

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
        columns_rect_.setWidth(n);
        moving_rect_ = moving_rect(size);
        moving_rect_.setWidth(n);
        const QSize pixels = (QSizeF(size) * ratio).toSize();
        if (frame_.size() != pixels) frame_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        frame_.setDevicePixelRatio(ratio);
        shortened_ = paint_plot_frame(frame_, kind_, l, rows, font, palette, labels_);
        overlays_ = overlays(columns, history, l);
        if (n == 0) return {};
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
        return {};
    }

    Change change{false, static_cast<int>(shift), {}};
    int run = -1;
    auto close_run = [&](int end) {
        if (run >= 0) change.region += QRect(moving_rect_.left() + run, moving_rect_.top(), end - run, moving_rect_.height());
        run = -1;
    };
    for (int c = start; c < n; ++c) {
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
    std::vector<Overlay> now = overlays(columns, history, l);
    change.region += overlays_changed(now, change.shift);
    overlays_ = std::move(now);
    return change;
}

void TrendPicture::paint(QPainter& painter, const QRegion& region) const {
    if (frame_.isNull()) return;
    const QRegion todo = region.isEmpty() ? QRegion(QRect(QPoint(0, 0), size_)) : region & QRect(QPoint(0, 0), size_);
    const auto device = [this](const QRect& r) { return QRectF(r.x() * ratio_, r.y() * ratio_, r.width() * ratio_, r.height() * ratio_); };
    painter.save();
    // Each piece clipped to its own rectangle: under the paint event's clip of several rectangles
    // the raster engine draws an image some fifteen times slower.
    for (const QRect& r : todo - columns_rect_) {
        painter.setClipRect(r);
        painter.drawImage(QRectF(r), frame_, device(r));
    }
    const int n = static_cast<int>(drawn_.size());
    for (const QRect& r : todo & columns_rect_) {
        int c = r.left() - columns_rect_.left();
        const int end = r.right() + 1 - columns_rect_.left();
        while (c < end) {
            // A run of columns next to each other in the ring, up to its end.
            const auto slot = static_cast<int>(ring_slot(first_column_ + c));
            const int run = std::min(end - c, n - slot);
            const QRect target(columns_rect_.left() + c, r.top(), run, r.height());
            painter.setClipRect(target);
            painter.drawImage(QRectF(target), ring_, device(QRect(slot, r.top() - columns_rect_.top(), run, r.height())));
            c += run;
        }
    }

    const PlotLayout l(kind_, size_, time_labels_);
    const QRect time_strip(0, l.time_labels.top(), size_.width(), l.time_labels.height());
    if (empty_) {
        painter.setPen(frame_colour());
        painter.setFont(font_);
        for (const QRect& r : todo & l.area) {
            painter.setClipRect(r);
            labels_.draw(painter, l.area, Qt::AlignCenter, QStringLiteral("No frames in this time span"));
        }
    }
    for (const Overlay& o : overlays_) {
        const bool time = o.kind == Overlay::Kind::Time;
        for (const QRect& r : todo & (time ? time_strip : l.area) & o.rect) {
            painter.setClipRect(r);
            if (time) {
                painter.setFont(font_);
                painter.setPen(palette_.windowText().color());
                labels_.draw(painter, o.rect, Qt::AlignLeft | Qt::AlignVCenter, o.text);
            } else {
                painter.setFont(small_font());
                painter.fillRect(o.rect, Qt::white);
                painter.setPen(marker_colour());
                labels_.draw(painter, o.rect, Qt::AlignCenter, o.text);
            }
        }
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
