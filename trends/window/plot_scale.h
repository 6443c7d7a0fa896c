// What the axes of a trend plot show: each plot's full value range, the margin a fitted range
// gets, values to rows, tick steps a reader counts in, and run time as text.
#pragma once

#include <QRect>
#include <QString>

#include <algorithm>
#include <cmath>

#include "trends/column_reduction.h"

namespace sensor {

enum class PlotKind { Ultrasonic, Infrared, Ground };

// The full range a plot's quantity can take, for a fixed y axis.
ValueRange full_range(PlotKind kind);

// The range of the data in view with a margin, never flat, widened to whole steps a reader
// counts in, so the axes stay put while the view moves on over similar values; the ground plot
// keeps its threshold in view. The full range when nothing is in view.
ValueRange fitted_range(PlotKind kind, std::optional<ValueRange> data);

// Values to rows of a plot area; values outside the range stay on its edge.
struct RowMap {
    QRect area;
    ValueRange range;

    double scale() const { return (area.height() - 1) / std::max(static_cast<double>(range.high - range.low), 1e-9); }
    double y(double v) const {
        return std::clamp(area.bottom() - (v - range.low) * scale(), static_cast<double>(area.top()),
                          static_cast<double>(area.bottom()));
    }
    int row(float v) const { return static_cast<int>(y(v) + 0.5); }  // y is never negative
};

// 1, 2 or 5 times a power of ten, no smaller than span / max_steps.
double value_step(double span, int max_steps);

// A step of seconds a reader counts in (0.1 s up to 2 h), at least min_px apart on the axis.
double time_step(double span_s, int width_px, int min_px);

// Run time as minutes and seconds, "12:05" or with decimals "12:05.25", with hours from the first
// hour on, "1:02:05"; negative before the origin.
QString run_time_text(double seconds, int decimals);

}  // namespace sensor
