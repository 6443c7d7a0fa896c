// Column contents from the reduced columns, and each column written into the image's scan lines.
#include "trends/window/column_paint.h"

#include <algorithm>
#include <cmath>

#include "eval/ground_line.h"
#include "trends/window/plot_frame.h"

namespace sensor {

namespace {

std::int16_t narrow(int row) { return static_cast<std::int16_t>(std::clamp(row, -1, 32767)); }

// The rows a line from (from_x, from_y) to (to_x, to_y) crosses within column x, half a column
// either side of its middle, kept between its ends.
std::pair<int, int> line_rows(int from_x, int from_y, int to_x, int to_y, int x) {
    const double slope = static_cast<double>(to_y - from_y) / (to_x - from_x);
    const double a = from_y + slope * (x - 0.5 - from_x);
    const double b = from_y + slope * (x + 0.5 - from_x);
    const int low = std::min(from_y, to_y), high = std::max(from_y, to_y);
    const int top = std::clamp(static_cast<int>(std::lround(std::min(a, b))), low, high);
    const int bottom = std::clamp(static_cast<int>(std::lround(std::max(a, b))), low, high);
    return {top, bottom};
}

}  // namespace

int plan_columns(const ReducedColumns& columns, std::span<const Channel> channels, const RowMap& rows,
                 std::vector<ColumnContent>& out, int from) {
    const int width = columns.width();
    out.resize(static_cast<std::size_t>(width));
    const std::size_t traces = std::min<std::size_t>(channels.size(), ColumnContent::kTraces);
    // A column from `from` on may join one before it across empty columns, which then change too.
    int start = std::clamp(from, 0, width);
    for (std::size_t t = 0; t < traces; ++t) start = std::min(start, std::max(columns.previous_with_values(channels[t], start) + 1, 0));
    std::fill(out.begin() + start, out.end(), ColumnContent{});
    for (std::size_t t = 0; t < traces; ++t) {
        int previous = columns.previous_with_values(channels[t], start);
        bool have_previous = previous >= -columns.lead();
        int previous_last = have_previous ? rows.row(columns.at(channels[t], previous).summary.last) : 0;
        for (int c = start; c < width; ++c) {
            const ChannelColumn& column = columns.at(channels[t], c);
            const ChannelSummary& s = column.summary;
            ColumnContent& content = out[static_cast<std::size_t>(c)];
            content.ok_ticks |= static_cast<std::uint8_t>(s.ok ? 1u << t : 0u);
            content.err_ticks |= static_cast<std::uint8_t>(s.err ? 1u << t : 0u);
            if (s.values == 0) continue;
            int top = rows.row(s.max);
            int bottom = rows.row(s.min);
            if (column.joins_previous && have_previous) {
                if (c - previous == 1) {
                    top = std::min(top, previous_last);
                    bottom = std::max(bottom, previous_last);
                } else {
                    const int first = rows.row(s.first);
                    for (int x = std::max(previous + 1, start); x < c; ++x) {
                        const auto [line_top, line_bottom] = line_rows(previous, previous_last, c, first, x);
                        ColumnContent& crossed = out[static_cast<std::size_t>(x)];
                        crossed.bridge_top[t] = narrow(line_top);
                        crossed.bridge_bottom[t] = narrow(line_bottom);
                    }
                }
            }
            content.stroke_top[t] = narrow(top);
            content.stroke_bottom[t] = narrow(bottom);
            previous = c;
            previous_last = rows.row(s.last);
            have_previous = true;
        }
    }
    for (int c = start; c < width; ++c) {
        std::uint8_t bits = 0;
        for (std::size_t g = 0; g < kGroundSensorCount; ++g) {
            const VerdictSummary& v = columns.verdict(g, c);
            bits |= static_cast<std::uint8_t>((v.black ? 1u : 0u) << (2 * g) | (v.white ? 1u : 0u) << (2 * g + 1));
        }
        out[static_cast<std::size_t>(c)].verdicts = bits;
    }
    return start;
}

namespace {

// The image's rows and pixels as the columns' picture rows and pixel columns. Every colour here
// is opaque, so it is its own premultiplied value.
class ColumnPixels {
public:
    ColumnPixels(QImage& image, const ColumnStyle& style)
        : bits_(image.bits()),
          stride_(image.bytesPerLine()),
          ratio_(std::max(1, static_cast<int>(std::lround(image.devicePixelRatio())))),
          top_(style.top),
          rows_(image.height() / ratio_) {}

    // Picture rows from..to, both inclusive, of column x.
    void fill(int x, int from, int to, QRgb pixel) const {
        from = std::max(from - top_, 0);
        to = std::min(to - top_, rows_ - 1);
        uchar* line = bits_ + from * ratio_ * stride_;
        for (int r = from * ratio_; r < (to + 1) * ratio_; ++r, line += stride_) {
            QRgb* at = reinterpret_cast<QRgb*>(line) + x * ratio_;
            for (int dx = 0; dx < ratio_; ++dx) at[dx] = pixel;
        }
    }

    void base(int x, const std::vector<QRgb>& base) const {
        const int rows = std::min(rows_, static_cast<int>(base.size()));
        uchar* line = bits_;
        for (int r = 0; r < rows; ++r) {
            for (int dy = 0; dy < ratio_; ++dy, line += stride_) {
                QRgb* at = reinterpret_cast<QRgb*>(line) + x * ratio_;
                for (int dx = 0; dx < ratio_; ++dx) at[dx] = base[static_cast<std::size_t>(r)];
            }
        }
    }

private:
    uchar* bits_;
    qsizetype stride_;
    int ratio_;
    int top_;
    int rows_;
};

}  // namespace

ColumnStyle column_style(PlotKind kind, const PlotLayout& l, const RowMap& rows, QRgb window) {
    ColumnStyle s;
    s.top = l.columns.top();
    s.base.assign(static_cast<std::size_t>(std::max(l.columns.height(), 0)), window);
    auto set = [&](int row, QRgb pixel) {
        if (row >= l.columns.top() && row <= l.columns.bottom()) s.base[static_cast<std::size_t>(row - s.top)] = pixel;
    };
    for (int row = l.area.top(); row <= l.area.bottom(); ++row) set(row, qRgb(255, 255, 255));
    s.grid = qRgb(226, 226, 226);
    const double step = value_step(static_cast<double>(rows.range.high - rows.range.low), std::max(l.area.height() / 28, 2));
    for (double v = std::ceil(rows.range.low / step) * step; v <= rows.range.high; v += step) set(rows.row(static_cast<float>(v)), s.grid);
    s.threshold = frame_colour().rgb();
    set(l.area.top() - 1, s.threshold);
    set(l.area.bottom() + 1, s.threshold);
    const auto chans = plot_channels(kind);
    if (kind == PlotKind::Ground) {
        for (std::size_t g = 0; g < kGroundSensorCount; ++g) {
            set(l.bands[g].top() - 1, trace_colour(chans[g]).rgb());
            set(l.bands[g].bottom() + 1, trace_colour(chans[g]).rgb());
            s.band_top[g] = l.bands[g].top();
        }
        s.band_height = l.bands[0].height();
        s.threshold_row = rows.row(static_cast<float>(kGroundThreshold));
    }
    s.area_top = l.area.top();
    s.area_bottom = l.area.bottom();
    if (kind == PlotKind::Infrared) {
        s.ok_strip_top = l.ok_strip.top();
        s.err_strip_top = l.err_strip.top();
    }
    for (std::size_t t = 0; t < s.colours.size() && t < chans.size(); ++t) s.colours[t] = trace_colour(chans[t]).rgb();
    s.marker = marker_colour().rgb();
    s.mixed_verdict = qRgb(140, 140, 140);
    return s;
}

void paint_base(QImage& image, const ColumnStyle& style) {
    const int ratio = std::max(1, static_cast<int>(std::lround(image.devicePixelRatio())));
    for (int y = 0; y < image.height(); ++y) {
        const auto r = static_cast<std::size_t>(y / ratio);
        const QRgb pixel = r < style.base.size() ? style.base[r] : 0;
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(line, line + image.width(), pixel);
    }
}

void paint_column(QImage& image, int x, std::int64_t absolute_column, const ColumnContent& content, const ColumnStyle& style,
                  bool on_base) {
    const ColumnPixels pixels(image, style);
    if (!on_base) pixels.base(x, style.base);
    auto fill = [&](int from, int to, QRgb pixel) { pixels.fill(x, from, to, pixel); };
    if (content.time_tick) fill(style.area_top, style.area_bottom, style.grid);
    // Dashes of four pixels and gaps of two, counted from time zero so they move with the view.
    if (style.threshold_row >= 0 && ((absolute_column % 6) + 6) % 6 < 4) fill(style.threshold_row, style.threshold_row, style.threshold);
    for (int t = 0; t < ColumnContent::kTraces; ++t) {
        if (content.stroke_top[t] >= 0) fill(content.stroke_top[t], content.stroke_bottom[t], style.colours[t]);
    }
    for (int t = 0; t < ColumnContent::kTraces; ++t) {
        if (content.bridge_top[t] >= 0) fill(content.bridge_top[t], content.bridge_bottom[t], style.colours[t]);
    }
    for (int t = 0; t < ColumnContent::kTraces; ++t) {
        // One row of ticks per trace, three pixels high.
        const int row = 1 + 3 * t;
        if ((content.ok_ticks >> t & 1) && style.ok_strip_top >= 0) fill(style.ok_strip_top + row, style.ok_strip_top + row + 2, style.colours[t]);
        if ((content.err_ticks >> t & 1) && style.err_strip_top >= 0) fill(style.err_strip_top + row, style.err_strip_top + row + 2, style.colours[t]);
    }
    for (std::size_t g = 0; g < 2; ++g) {
        const int state = content.verdicts >> (2 * g) & 3;
        if (state == 0 || style.band_top[g] < 0) continue;
        const QRgb pixel = state == 1 ? qRgb(0, 0, 0) : state == 2 ? qRgb(255, 255, 255) : style.mixed_verdict;
        fill(style.band_top[g], style.band_top[g] + style.band_height - 1, pixel);
    }
    if (content.marker) fill(style.area_top, style.area_bottom, style.marker);
}

}  // namespace sensor
