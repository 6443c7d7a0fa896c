// The plot's parts stacked from the top: title, OK strip, area, ERR strip, bands, time labels.
#include "trends/window/plot_layout.h"

#include <algorithm>

namespace sensor {

namespace {

constexpr int kTitleHeight = 18;
constexpr int kMarkStripHeight = 11;
constexpr int kBandHeight = 10;
constexpr int kBandGap = 4;
constexpr int kTimeLabelHeight = 16;

}  // namespace

PlotLayout::PlotLayout(PlotKind kind, QSize size, bool with_time_labels) {
    const int width = std::max(plot_width_for(size.width()), 0);
    int top = 0;
    title = QRect(kLeftMargin, top, width, kTitleHeight);
    top += kTitleHeight;
    int bottom = size.height();
    if (with_time_labels) {
        bottom -= kTimeLabelHeight;
        time_labels = QRect(kLeftMargin, bottom, width, kTimeLabelHeight);
    }
    if (kind == PlotKind::Infrared) {
        ok_strip = QRect(kLeftMargin, top, width, kMarkStripHeight);
        top += kMarkStripHeight;
        bottom -= kMarkStripHeight;
        err_strip = QRect(kLeftMargin, bottom, width, kMarkStripHeight);
    }
    if (kind == PlotKind::Ground) {
        bottom -= 1;  // the last band's lower edge
        for (std::size_t g = kGroundSensorCount; g-- > 0;) {
            bottom -= kBandHeight;
            bands[g] = QRect(kLeftMargin, bottom, width, kBandHeight);
            bottom -= kBandGap;
        }
    }
    area = QRect(kLeftMargin, top, width, std::max(bottom - top, 1));
    const int first = kind == PlotKind::Infrared ? ok_strip.top() : area.top() - 1;
    const int last = kind == PlotKind::Ground     ? bands[1].bottom() + 1
                     : kind == PlotKind::Infrared ? err_strip.bottom()
                                                  : area.bottom() + 1;
    columns = QRect(kLeftMargin, first, width, std::min(last, size.height() - 1) - first + 1);
}

}  // namespace sensor
