// The picture of one trend plot: the traces in fixed colours per module or sensor, a legend, axes,
// "ERR"/"OK" marks at the edges, for the ground sensors the threshold and the verdict bands, and
// the markers. Kept as two images: the frame around the data, painted when it changes, and the
// columns, one per pixel column in a ring by the column's time, so a view that moves on repaints
// only the columns whose content changed while the screen scrolls the rest.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPalette>
#include <QRect>
#include <QRegion>
#include <QString>

#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "trends/column_reduction.h"
#include "trends/history.h"
#include "trends/window/column_paint.h"
#include "trends/window/label_cache.h"
#include "trends/window/plot_frame.h"
#include "trends/window/plot_layout.h"
#include "trends/window/plot_scale.h"

class QPainter;

namespace sensor {

class TrendPicture {
public:
    static constexpr int kLeftMargin = PlotLayout::kLeftMargin;
    static constexpr int kRightMargin = PlotLayout::kRightMargin;
    static int plot_width_for(int picture_width) { return PlotLayout::plot_width_for(picture_width); }

    explicit TrendPicture(PlotKind kind) : kind_(kind) {}

    static QColor colour(Channel channel) { return trace_colour(channel); }
    std::span<const Channel> channels() const { return plot_channels(kind_); }
    PlotKind kind() const { return kind_; }

    void set_fixed_range(bool fixed) { fixed_range_ = fixed; }
    bool fixed_range() const { return fixed_range_; }
    void set_time_labels(bool shown) {
        time_labels_ = shown;
        made_ = false;
    }
    // The plot at the top names the markers; the others only draw their lines.
    void set_marker_labels(bool shown) {
        marker_labels_ = shown;
        made_ = false;
    }

    QRect area(QSize size) const { return PlotLayout(kind_, size, time_labels_).area; }
    // The part of the picture that moves on with the view: the columns and the time labels under them.
    QRect moving_rect(QSize size) const;

    // What an update changed: everything, or the columns moved on by `shift` pixels and `region`
    // to paint again where it is now.
    struct Change {
        bool all = true;
        int shift = 0;
        QRegion region;
    };

    // Brings the picture up to date with the view; `history` gives the run's origin and markers.
    Change update(const ReducedColumns& columns, const History& history, QSize size, qreal ratio, const QFont& font,
                  const QPalette& palette);
    // Paints `region` of the picture as it stands (all of it when empty) at the painter's origin.
    void paint(QPainter& painter, const QRegion& region) const;
    // The whole picture of these columns into `image`, whose size over its device pixel ratio is
    // the picture's size.
    void render(QImage& image, const ReducedColumns& columns, const History& history, const QFont& font, const QPalette& palette);

    QSize size() const { return size_; }
    // The title and legend in full when the width held only part of them; empty when it held all.
    QString shortened() const { return shortened_; }

private:
    // A text over the columns that moves with them: a run time under the axis, a marker's label.
    struct Overlay {
        enum class Kind : std::uint8_t { Time, Marker };
        Kind kind = Kind::Time;
        QRect rect;
        QString text;
        bool operator==(const Overlay&) const = default;
    };

    // The plot's lowest and highest value in columns [from, n) of the view.
    void take_extremes(const ReducedColumns& columns, int from);
    std::optional<ValueRange> extremes() const;
    // Plans the columns from about `from` on; returns where planning started.
    int plan(const ReducedColumns& columns, const History& history, const RowMap& rows, int from);
    std::vector<Overlay> overlays(const ReducedColumns& columns, const History& history, const PlotLayout& l) const;
    QRegion overlays_changed(const std::vector<Overlay>& now, int shift) const;
    std::size_t ring_slot(std::int64_t absolute_column) const;
    QFont small_font() const;

    PlotKind kind_;
    bool fixed_range_ = false;
    bool time_labels_ = false;
    bool marker_labels_ = false;

    // What the picture was last made for.
    bool made_ = false;
    QSize size_;
    qreal ratio_ = 1;
    QFont font_;
    QPalette palette_;
    bool fixed_drawn_ = false;
    ValueRange range_;
    bool empty_ = true;
    ViewGrid grid_;
    std::int64_t end_ns_ = 0;
    std::int64_t first_column_ = 0;  // the absolute column of column 0
    std::uint64_t markers_seen_ = 0;

    QImage frame_;  // the whole picture's size; its columns part is not shown
    QRect columns_rect_;
    QRect moving_rect_;
    QImage ring_;  // the columns part: column c of the view at ring_slot(first_column_ + c)
    ColumnStyle style_;
    std::vector<ColumnContent> drawn_;    // by ring slot
    std::vector<ColumnContent> planned_;  // by column of the view
    // By ring slot: the plot's lowest and highest value in the column, low > high when it has none.
    std::vector<ValueRange> extremes_;
    std::vector<Overlay> overlays_;
    mutable std::map<std::int64_t, QString> tick_texts_;  // by tick number
    mutable std::int64_t tick_texts_ns_ = 0;
    QString shortened_;
    LabelCache labels_;
};

}  // namespace sensor
