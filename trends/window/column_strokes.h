// One trace of a plot as a vertical stroke per pixel column, from the column's lowest to its
// highest value, written straight into a 32-bit image: through QPainter each one-pixel
// rectangle costs about ten times as much, and a ten-minute picture has eight thousand.
#pragma once

#include <QImage>
#include <QLine>

#include <span>
#include <vector>

#include "trends/column_reduction.h"
#include "trends/window/plot_scale.h"

namespace sensor {

// Column c is stroked at x = rows.area.left() + c, stretched to the previous column's last value
// where the line joins it, in the image's device pixels. Returns the lines that join columns
// across empty ones, for a QPainter to draw.
std::vector<QLine> stroke_columns(QImage& image, const RowMap& rows, std::span<const ChannelColumn> columns, QRgb pixel);

}  // namespace sensor
