// One plot's pixel columns as what each shows: per trace a stroke from its lowest to its highest
// value (stretched to the line before), the stretch of a line crossing it on its way across empty
// columns, the ERR/OK ticks, the verdict bands, the time grid and the markers. Columns showing the
// same are equal, so a picture that moves on repaints only columns whose content changed; each
// is written straight into a 32-bit image, where through QPainter a one-pixel rectangle would cost
// about ten times as much.
#pragma once

#include <QImage>
#include <QRgb>

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "trends/column_reduction.h"
#include "trends/window/plot_layout.h"
#include "trends/window/plot_scale.h"

namespace sensor {

struct ColumnContent {
    static constexpr int kTraces = 3;
    // Rows of the picture, top and bottom inclusive; -1 for none.
    std::array<std::int16_t, kTraces> stroke_top{-1, -1, -1};
    std::array<std::int16_t, kTraces> stroke_bottom{-1, -1, -1};
    std::array<std::int16_t, kTraces> bridge_top{-1, -1, -1};
    std::array<std::int16_t, kTraces> bridge_bottom{-1, -1, -1};
    std::uint8_t ok_ticks = 0;   // bit t: trace t had "OK"
    std::uint8_t err_ticks = 0;  // bit t: trace t had "ERR"
    // Per ground sensor g, bits 2g (black) and 2g + 1 (white).
    std::uint8_t verdicts = 0;
    bool time_tick = false;
    bool marker = false;

    bool operator==(const ColumnContent&) const = default;
};

// What the columns from about `from` to the view's end show of the traces `channels`, values
// mapped to rows by `rows`; `out` holds a content per column of the view. Planning starts early
// enough to take in every line that crosses into a column from `from` on, and returns where it
// started; the columns before that are left as they are. Lines coming from columns before the
// view are drawn into it as they would be in a wider view.
int plan_columns(const ReducedColumns& columns, std::span<const Channel> channels, const RowMap& rows,
                 std::vector<ColumnContent>& out, int from = 0);

// The parts every column shares and where the others go, in the picture's rows.
struct ColumnStyle {
    int top = 0;                  // the first row of the columns' part of the picture
    std::vector<QRgb> base;       // per row from top: background, grid, frame and band edges
    int area_top = 0, area_bottom = 0;
    int ok_strip_top = -1, err_strip_top = -1;
    std::array<int, 2> band_top{-1, -1};
    int band_height = 0;
    int threshold_row = -1;  // the ground plot's dashed threshold
    std::array<QRgb, ColumnContent::kTraces> colours{};
    QRgb grid = 0, threshold = 0, marker = 0, mixed_verdict = 0;
};

// The columns of a plot of this kind and layout, values at `rows`, on the window's background.
ColumnStyle column_style(PlotKind kind, const PlotLayout& layout, const RowMap& rows, QRgb window);

// Fills every column of `image` with the shared parts; a whole picture is painted row by row.
void paint_base(QImage& image, const ColumnStyle& style);

// Writes column x into `image`, whose rows are the picture's rows from style.top and whose pixels
// are the image's device pixel ratio (a whole number) device pixels square; over the shared parts
// already there when `on_base`. `absolute_column` keeps the threshold's dashes with their time as
// the view moves on.
void paint_column(QImage& image, int x, std::int64_t absolute_column, const ColumnContent& content, const ColumnStyle& style,
                  bool on_base);

}  // namespace sensor
