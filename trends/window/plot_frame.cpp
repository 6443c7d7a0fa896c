// The plot's frame painted with QPainter: it changes only with the size, the fonts or the y range.
#include "trends/window/plot_frame.h"

#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>

#include "eval/ground_line.h"

namespace sensor {

namespace {

constexpr std::array<Channel, 3> kUltrasonic{Channel::Ultrasonic1, Channel::Ultrasonic2, Channel::Ultrasonic3};
constexpr std::array<Channel, 3> kInfrared{Channel::Infrared1, Channel::Infrared2, Channel::Infrared3};
constexpr std::array<Channel, 2> kGround{Channel::Ground1, Channel::Ground2};

const QColor kFrame(160, 160, 160);

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

struct LegendEntry {
    QString text;
    QString short_text;
    QPen pen;
};

// Title on the left, the legend on the right; where the width does not hold both, the legend names
// the traces by number and the title gives way, elided.
QString paint_title_row(QPainter& painter, PlotKind kind, const QRect& row, const QColor& text_colour, const LabelCache& labels) {
    const QFontMetrics metrics(painter.font());
    std::vector<LegendEntry> legend;
    if (kind == PlotKind::Ground) {
        legend.push_back({QStringLiteral("threshold %1").arg(kGroundThreshold), QString::number(kGroundThreshold),
                          QPen(kFrame, 1, Qt::DashLine)});
    }
    const auto chans = plot_channels(kind);
    for (auto c = chans.rbegin(); c != chans.rend(); ++c) {
        const QString name = channel_name(*c);
        legend.push_back({name, name.right(1), QPen(trace_colour(*c), 2)});
    }
    auto legend_width = [&](bool short_names) {
        int w = 0;
        for (const LegendEntry& e : legend) w += metrics.horizontalAdvance(short_names ? e.short_text : e.text) + 30;
        return w;
    };
    const QString full_title = title(kind);
    const bool short_names = metrics.horizontalAdvance(full_title) + 16 + legend_width(false) > row.width();
    const QString shown_title =
        metrics.elidedText(full_title, Qt::ElideRight, std::max(row.width() - legend_width(short_names) - 16, 0));

    painter.setPen(text_colour);
    if (!shown_title.isEmpty()) labels.draw(painter, row.adjusted(0, 0, 0, -2), Qt::AlignLeft | Qt::AlignBottom, shown_title);
    int x = row.right();
    for (const LegendEntry& e : legend) {
        const QString& text = short_names ? e.short_text : e.text;
        const int w = static_cast<int>(std::ceil(labels.get(painter.font(), text).size().width()));
        x -= w;
        painter.setPen(text_colour);
        labels.draw(painter, QRect(x, row.top(), w, row.height() - 2), Qt::AlignLeft | Qt::AlignBottom, text);
        x -= 20;
        painter.setPen(e.pen);
        const int line_y = row.bottom() - metrics.height() / 2;
        painter.drawLine(x + 2, line_y, x + 16, line_y);
        x -= 10;
    }
    if (!short_names && shown_title == full_title) return {};
    QStringList names;
    for (auto e = legend.rbegin(); e != legend.rend(); ++e) names << e->text;
    return full_title + QStringLiteral(": ") + names.join(QStringLiteral(", "));
}

}  // namespace

QColor trace_colour(Channel channel) {
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

QColor marker_colour() { return {120, 40, 140}; }

QColor frame_colour() { return kFrame; }

std::span<const Channel> plot_channels(PlotKind kind) {
    switch (kind) {
    case PlotKind::Ultrasonic: return kUltrasonic;
    case PlotKind::Infrared: return kInfrared;
    case PlotKind::Ground: return kGround;
    }
    return {};
}

QString paint_plot_frame(QImage& image, PlotKind kind, const PlotLayout& l, const RowMap& rows, const QFont& font,
                         const QPalette& palette, const LabelCache& labels) {
    QPainter painter(&image);
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const QColor text_colour = palette.windowText().color();
    painter.fillRect(QRectF(QPointF(0, 0), QSizeF(image.size()) / image.devicePixelRatio()), palette.window());
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const QString shortened = paint_title_row(painter, kind, l.title, text_colour, labels);

    painter.setPen(text_colour);
    const double step = value_step(static_cast<double>(rows.range.high - rows.range.low), std::max(l.area.height() / 28, 2));
    for (double v = std::ceil(rows.range.low / step) * step; v <= rows.range.high; v += step) {
        const double shown = std::abs(v) < step / 2 ? 0.0 : v;
        labels.draw(painter, QRectF(0, rows.row(static_cast<float>(v)) - metrics.height() / 2.0, PlotLayout::kLeftMargin - 6, metrics.height()),
                    Qt::AlignRight | Qt::AlignVCenter, locale.toString(shown, 'g', 6));
    }
    if (kind == PlotKind::Infrared) {
        labels.draw(painter, QRect(0, l.ok_strip.top(), PlotLayout::kLeftMargin - 6, l.ok_strip.height()),
                    Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("OK"));
        labels.draw(painter, QRect(0, l.err_strip.top(), PlotLayout::kLeftMargin - 6, l.err_strip.height()),
                    Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("ERR"));
    }
    if (kind == PlotKind::Ground) {
        QFont small = font;
        small.setPointSizeF(small.pointSizeF() * 0.85);
        painter.setFont(small);
        for (std::size_t g = 0; g < kGroundSensorCount; ++g) {
            painter.setPen(trace_colour(kGround[g]));
            painter.drawRect(l.bands[g].adjusted(-1, -1, 0, 0));
            labels.draw(painter, QRect(0, l.bands[g].top() - 2, PlotLayout::kLeftMargin - 6, l.bands[g].height() + 4),
                        Qt::AlignRight | Qt::AlignVCenter, channel_name(kGround[g]));
        }
        painter.setFont(font);
    }
    painter.setPen(kFrame);
    painter.drawRect(l.area.adjusted(-1, -1, 0, 0));
    return shortened;
}

}  // namespace sensor
