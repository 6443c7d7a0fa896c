// Where the parts of a trend plot go in a picture of a given size: the title row, the data area,
// the ERR/OK strips, the verdict bands and the time labels, and the band of rows the columns take.
#pragma once

#include <QRect>
#include <QSize>

#include <array>

#include "trends/trend_summary.h"
#include "trends/window/plot_scale.h"

namespace sensor {

struct PlotLayout {
    // Every plot has the same margins, so stacked plots' columns line up on one time axis.
    static constexpr int kLeftMargin = 64;
    static constexpr int kRightMargin = 12;
    static int plot_width_for(int picture_width) { return picture_width - kLeftMargin - kRightMargin; }

    PlotLayout(PlotKind kind, QSize size, bool time_labels);

    QRect title;
    QRect ok_strip;  // infrared only
    QRect area;
    QRect err_strip;  // infrared only
    std::array<QRect, kGroundSensorCount> bands{};  // ground only
    QRect time_labels;
    // The rows every column spans, from the frame's top edge to the last band's lower edge, over
    // the data area's width: the part of the picture that moves on with the view.
    QRect columns;
};

}  // namespace sensor
