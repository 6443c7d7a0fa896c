// What stays put around a trend plot's data while the view moves on: the title and the legend in
// the traces' colours, the value labels, the ERR/OK and band names, the edges. The run-time labels
// move with the columns and are not part of it.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPalette>
#include <QString>

#include <span>

#include "trends/trend_summary.h"
#include "trends/window/label_cache.h"
#include "trends/window/plot_layout.h"
#include "trends/window/plot_scale.h"

namespace sensor {

// One colour per module (both distance plots) and per ground sensor, in every plot and legend.
QColor trace_colour(Channel channel);
QColor marker_colour();
QColor frame_colour();  // the data area's edges and the ground threshold
std::span<const Channel> plot_channels(PlotKind kind);

// Paints the whole picture but its columns into `image`. Returns the title and legend in full
// when the width held only part of them (the legend then names traces by number, the title is
// elided), or an empty string.
QString paint_plot_frame(QImage& image, PlotKind kind, const PlotLayout& layout, const RowMap& rows, const QFont& font,
                         const QPalette& palette, const LabelCache& labels);

}  // namespace sensor
