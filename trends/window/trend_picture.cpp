// Painting one trend plot: layout, axes, legend, traces from per-column extremes, marks and bands.
#include "trends/window/trend_picture.h"

#include <QLocale>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "eval/ground_line.h"
#include "trends/window/column_strokes.h"

namespace sensor {

namespace {

constexpr std::array<Channel, 3> kUltrasonic{Channel::Ultrasonic1, Channel::Ultrasonic2, Channel::Ultrasonic3};
constexpr std::array<Channel, 3> kInfrared{Channel::Infrared1, Channel::Infrared2, Channel::Infrared3};
constexpr std::array<Channel, 2> kGround{Channel::Ground1, Channel::Ground2};

constexpr int kTitleHeight = 18;
constexpr int kMarkStripHeight = 11;
constexpr int kBandHeight = 10;
constexpr int kBandGap = 4;
constexpr int kTimeLabelHeight = 16;

const QColor kAreaBackground(Qt::white);
const QColor kGrid(226, 226, 226);
const QColor kFrame(160, 160, 160);
const QColor kMixedVerdict(140, 140, 140);

QString title(PlotKind kind) {
    switch (kind) {
    case PlotKind::Ultrasonic: return QStringLiteral("Ultrasonic distance (m)");
    case PlotKind::Infrared: return QStringLiteral("Infrared distance (cm)");
    case PlotKind::Ground: return QStringLiteral("Ground reading");
    }
    return {};
}

QString channel_name(Channel c) {
    switch (c) {
    case Channel::Ultrasonic1:
    case Channel::Infrared1: return QStringLiteral("Module 1");
    case Channel::Ultrasonic2:
    case Channel::Infrared2: return QStringLiteral("Module 2");
    case Channel::Ultrasonic3:
    case Channel::Infrared3: return QStringLiteral("Module 3");
    case Channel::Ground1: return QStringLiteral("Ground 1");
    case Channel::Ground2: return QStringLiteral("Ground 2");
    }
    return {};
}

}  // namespace

struct TrendPicture::Layout {
    QRect title;
    QRect ok_strip;  // infrared only
    QRect area;
    QRect err_strip;  // infrared only
    std::array<QRect, kGroundSensorCount> bands{};  // ground only
    QRect time_labels;
};

QColor TrendPicture::colour(Channel channel) {
    // Told apart also by readers with the common colour-vision deficiencies.
    switch (channel) {
    case Channel::Ultrasonic1:
    case Channel::Infrared1: return {0, 114, 178};
    case Channel::Ultrasonic2:
    case Channel::Infrared2: return {230, 159, 0};
    case Channel::Ultrasonic3:
    case Channel::Infrared3: return {0, 158, 115};
    case Channel::Ground1: return {204, 121, 167};
    case Channel::Ground2: return {213, 94, 0};
    }
    return Qt::black;
}

std::span<const Channel> TrendPicture::channels() const {
    switch (kind_) {
    case PlotKind::Ultrasonic: return kUltrasonic;
    case PlotKind::Infrared: return kInfrared;
    case PlotKind::Ground: return kGround;
    }
    return {};
}

TrendPicture::TrendPicture(PlotKind kind) : kind_(kind) {}

void TrendPicture::set_columns(const ReducedColumns* columns, std::int64_t origin_ns) {
    columns_ = columns;
    origin_ns_ = origin_ns;
}

QRect TrendPicture::area(QSize size) const { return layout(size).area; }

TrendPicture::Layout TrendPicture::layout(QSize size) const {
    Layout l;
    const int width = plot_width_for(size.width());
    int top = 0;
    l.title = QRect(kLeftMargin, top, width, kTitleHeight);
    top += kTitleHeight;
    int bottom = size.height();
    if (time_labels_) {
        bottom -= kTimeLabelHeight;
        l.time_labels = QRect(kLeftMargin, bottom, width, kTimeLabelHeight);
    }
    if (kind_ == PlotKind::Infrared) {
        l.ok_strip = QRect(kLeftMargin, top, width, kMarkStripHeight);
        top += kMarkStripHeight;
        bottom -= kMarkStripHeight;
        l.err_strip = QRect(kLeftMargin, bottom, width, kMarkStripHeight);
    }
    if (kind_ == PlotKind::Ground) {
        for (std::size_t g = kGroundSensorCount; g-- > 0;) {
            bottom -= kBandHeight;
            l.bands[g] = QRect(kLeftMargin, bottom, width, kBandHeight);
            bottom -= kBandGap;
        }
    }
    l.area = QRect(kLeftMargin, top, width, std::max(bottom - top, 1));
    return l;
}

const QStaticText& TrendPicture::label(const QPainter& painter, const QString& text) const {
    // Time labels change as the view moves; a few hundred distinct ones are plenty to keep.
    if (labels_.size() > 512) labels_.clear();
    const QString key = text + QChar(0x1f) + QString::number(painter.font().pointSizeF());
    auto found = labels_.find(key);
    if (found == labels_.end()) {
        QStaticText prepared(text);
        prepared.setTextFormat(Qt::PlainText);
        prepared.prepare(QTransform(), painter.font());
        found = labels_.insert(key, prepared);
    }
    return *found;
}

void TrendPicture::draw_label(QPainter& painter, const QRectF& rect, int flags, const QString& text) const {
    const QStaticText& prepared = label(painter, text);
    const QSizeF size = prepared.size();
    double x = rect.left();
    if (flags & Qt::AlignRight) x = rect.right() - size.width();
    if (flags & Qt::AlignHCenter) x = rect.center().x() - size.width() / 2;
    double y = rect.top();
    if (flags & Qt::AlignBottom) y = rect.bottom() - size.height();
    if (flags & Qt::AlignVCenter) y = rect.center().y() - size.height() / 2;
    painter.drawStaticText(QPointF(std::round(x), std::round(y)), prepared);
}

bool TrendPicture::have_columns() const {
    return columns_ != nullptr && columns_->width > 0 && columns_->end_ns > columns_->begin_ns;
}

void TrendPicture::render(QImage& image, const QFont& font, const QPalette& palette) const {
    const qreal ratio = image.devicePixelRatio();
    const QSize size = (QSizeF(image.size()) / ratio).toSize();
    const Layout l = layout(size);
    const ValueRange range = fixed_range_ || !have_columns() ? full_range(kind_)
                                                             : fitted_range(kind_, value_range(*columns_, channels()));
    const RowMap y{l.area, range};
    {
        QPainter painter(&image);
        paint_axes(painter, l, y, font, palette);
    }
    std::array<std::vector<QLine>, 3> bridges;
    if (have_columns()) bridges = stroke_traces(image, y);
    QPainter painter(&image);
    paint_marks(painter, l, bridges, font);
}

void TrendPicture::paint_axes(QPainter& painter, const Layout& l, const RowMap& y, const QFont& font,
                              const QPalette& palette) const {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const QColor text_colour = palette.windowText().color();
    painter.fillRect(painter.window(), palette.window());
    painter.fillRect(l.area, kAreaBackground);
    painter.setFont(font);
    const QFontMetrics metrics(font);

    // Title on the left, the legend on the right, in the traces' colours.
    painter.setPen(text_colour);
    draw_label(painter, l.title.adjusted(0, 0, 0, -2), Qt::AlignLeft | Qt::AlignBottom, title(kind_));
    int legend_x = l.title.right();
    auto legend_entry = [&](const QString& text, const QPen& pen) {
        const int w = static_cast<int>(std::ceil(label(painter, text).size().width()));
        legend_x -= w;
        painter.setPen(text_colour);
        draw_label(painter, QRect(legend_x, l.title.top(), w, l.title.height() - 2), Qt::AlignLeft | Qt::AlignBottom, text);
        legend_x -= 20;
        painter.setPen(pen);
        const int line_y = l.title.bottom() - metrics.height() / 2;
        painter.drawLine(legend_x + 2, line_y, legend_x + 16, line_y);
        legend_x -= 10;
    };
    const auto chans = channels();
    if (kind_ == PlotKind::Ground) legend_entry(QStringLiteral("threshold %1").arg(kGroundThreshold), QPen(kFrame, 1, Qt::DashLine));
    for (auto c = chans.rbegin(); c != chans.rend(); ++c) legend_entry(channel_name(*c), QPen(colour(*c), 2));

    const double span = static_cast<double>(y.range.high - y.range.low);
    const double step = value_step(span, std::max(l.area.height() / 28, 2));
    for (double v = std::ceil(y.range.low / step) * step; v <= y.range.high; v += step) {
        const double row = y.y(v);
        painter.setPen(kGrid);
        painter.drawLine(QPointF(l.area.left(), row), QPointF(l.area.right(), row));
        painter.setPen(text_colour);
        const double shown = std::abs(v) < step / 2 ? 0.0 : v;
        draw_label(painter, QRectF(0, row - metrics.height() / 2.0, kLeftMargin - 6, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, locale.toString(shown, 'g', 6));
    }

    // Time axis: grid on every plot, labels only where asked, so stacked plots share one axis.
    if (have_columns()) {
        const double span_s = static_cast<double>(columns_->end_ns - columns_->begin_ns) / 1e9;
        const double begin_s = static_cast<double>(columns_->begin_ns - origin_ns_) / 1e9;
        const double tick = time_step(span_s, l.area.width(), 70);
        // No ticks before the first frame: the run starts there.
        for (double t = std::max(std::ceil(begin_s / tick) * tick, 0.0); t <= begin_s + span_s; t += tick) {
            const double x = l.area.left() + (t - begin_s) / span_s * l.area.width();
            painter.setPen(kGrid);
            painter.drawLine(QPointF(x, l.area.top()), QPointF(x, l.area.bottom()));
            if (!time_labels_) continue;
            painter.setPen(text_colour);
            const QString text = run_time_text(t, tick < 1 ? 1 : 0);
            draw_label(painter, QRectF(x - 40, l.time_labels.top(), 80, l.time_labels.height()), Qt::AlignCenter, text);
        }
    }

    if (kind_ == PlotKind::Ground) {
        const double row = y.y(kGroundThreshold);
        painter.setPen(QPen(kFrame, 1, Qt::DashLine));
        painter.drawLine(QPointF(l.area.left(), row), QPointF(l.area.right(), row));
    }
    if (kind_ == PlotKind::Infrared) {
        painter.setPen(text_colour);
        draw_label(painter, QRect(0, l.ok_strip.top(), kLeftMargin - 6, l.ok_strip.height()), Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("OK"));
        draw_label(painter, QRect(0, l.err_strip.top(), kLeftMargin - 6, l.err_strip.height()),
                         Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("ERR"));
    }
}

std::array<std::vector<QLine>, 3> TrendPicture::stroke_traces(QImage& image, const RowMap& y) const {
    std::array<std::vector<QLine>, 3> bridges;
    const auto chans = channels();
    for (std::size_t i = 0; i < chans.size(); ++i) {
        bridges[i] = stroke_columns(image, y, columns_->channels[channel_index(chans[i])], colour(chans[i]).rgba());
    }
    return bridges;
}

void TrendPicture::paint_marks(QPainter& painter, const Layout& l, const std::array<std::vector<QLine>, 3>& bridges,
                               const QFont& font) const {
    const auto chans = channels();
    const int width = have_columns() ? std::min(columns_->width, l.area.width()) : 0;
    for (std::size_t i = 0; i < chans.size(); ++i) {
        painter.setPen(QPen(colour(chans[i]), 1));
        if (!bridges[i].empty()) painter.drawLines(bridges[i].data(), static_cast<int>(bridges[i].size()));
    }

    // "OK" (nothing within the table) at the top edge, "ERR" (closer than it) at the bottom; one
    // row of ticks per module.
    if (kind_ == PlotKind::Infrared && width > 0) {
        std::vector<QRect> ticks;
        painter.setPen(Qt::NoPen);
        for (std::size_t m = 0; m < chans.size(); ++m) {
            ticks.clear();
            const int row = 1 + 3 * static_cast<int>(m);
            for (int col = 0; col < width; ++col) {
                const ChannelSummary& s = columns_->at(chans[m], col).summary;
                const int x = l.area.left() + col;
                if (s.ok) ticks.emplace_back(x, l.ok_strip.top() + row, 1, 3);
                if (s.err) ticks.emplace_back(x, l.err_strip.top() + row, 1, 3);
            }
            painter.setBrush(colour(chans[m]));
            if (!ticks.empty()) painter.drawRects(ticks.data(), static_cast<int>(ticks.size()));
        }
        painter.setBrush(Qt::NoBrush);
    }

    // Verdict bands: black, white, grey where both occur in one column, empty where no frame.
    if (kind_ == PlotKind::Ground) {
        QFont small = font;
        small.setPointSizeF(small.pointSizeF() * 0.85);
        painter.setFont(small);
        for (std::size_t g = 0; g < kGroundSensorCount; ++g) {
            const QRect& band = l.bands[g];
            auto state = [&](int col) {
                const VerdictSummary& v = columns_->verdicts[g][static_cast<std::size_t>(col)];
                return (v.black ? 1 : 0) | (v.white ? 2 : 0);
            };
            for (int col = 0; col < width;) {
                const int s = state(col);
                int run = col + 1;
                while (run < width && state(run) == s) ++run;
                if (s != 0) {
                    const QColor fill = s == 1 ? QColor(Qt::black) : s == 2 ? QColor(Qt::white) : kMixedVerdict;
                    painter.fillRect(QRect(band.left() + col, band.top(), run - col, band.height()), fill);
                }
                col = run;
            }
            painter.setPen(colour(chans[g]));
            painter.drawRect(band.adjusted(-1, -1, 0, 0));
            draw_label(painter, QRect(0, band.top() - 2, kLeftMargin - 6, band.height() + 4), Qt::AlignRight | Qt::AlignVCenter,
                             channel_name(chans[g]));
        }
        painter.setFont(font);
    }

    const bool empty = width == 0 || std::all_of(columns_->frames.begin(), columns_->frames.end(),
                                                 [](const ColumnFrames& f) { return f.count == 0; });
    if (empty) {
        painter.setPen(kFrame);
        draw_label(painter, l.area, Qt::AlignCenter, QStringLiteral("No frames in this time span"));
    }
    painter.setPen(kFrame);
    painter.drawRect(l.area.adjusted(-1, -1, 0, 0));
}

}  // namespace sensor
