// Formats one frame's, or one column's, quantities for the readout.
#include "trends/window/frame_readout.h"

#include <QStringList>

#include <algorithm>
#include <limits>

#include "trends/window/plot_scale.h"

namespace sensor {

namespace {

QString verdict_text(Verdict v) {
    switch (v) {
    case Verdict::Black: return QStringLiteral(" black");
    case Verdict::White: return QStringLiteral(" white");
    case Verdict::Kept: break;
    }
    return {};
}

QLocale plain(const QLocale& base) {
    QLocale locale = base;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

// The labels of the markers set in [from_ns, to_ns), after the quantities.
QString marker_text(const MarkerStore& markers, std::int64_t from_ns, std::int64_t to_ns) {
    QStringList labels;
    for (std::uint64_t m = markers.index_at_or_after(from_ns); m < markers.index_at_or_after(to_ns); ++m) {
        const StoredMarker marker = markers.at(m);
        labels << QString::fromUtf8(marker.label.data(), static_cast<qsizetype>(marker.label.size()));
    }
    return labels.isEmpty() ? QString() : QStringLiteral("   Marker: ") + labels.join(QStringLiteral("; "));
}

}  // namespace

QString frame_readout(const History& history, std::uint64_t index, const QLocale& locale) {
    const std::int64_t next = index + 1 < history.end_index() ? history.time_at(index + 1) : std::numeric_limits<std::int64_t>::max();
    return frame_readout(history, index, locale, history.time_at(index), next);
}

QString frame_readout(const History& history, std::uint64_t index, const QLocale& base, std::int64_t markers_from_ns,
                      std::int64_t markers_to_ns) {
    const QLocale locale = plain(base);
    auto value = [&](Channel c, int decimals) {
        const TrendPoint p = history.point(index, c);
        switch (p.kind) {
        case PointKind::Value: return locale.toString(static_cast<double>(p.value), 'f', decimals);
        case PointKind::Err: return QStringLiteral("ERR");
        case PointKind::Ok: return QStringLiteral("OK");
        case PointKind::None: break;
        }
        return QStringLiteral("–");
    };
    const double run_s = static_cast<double>(history.time_at(index) - history.origin_ns()) / 1e9;
    const QString marked = marker_text(history.markers(), markers_from_ns, markers_to_ns);
    return QStringLiteral("%1   Ultrasonic %2 / %3 / %4 m   Infrared %5 / %6 / %7 cm   Ground %8%9 / %10%11")
               .arg(run_time_text(run_s, 2), value(Channel::Ultrasonic1, 3), value(Channel::Ultrasonic2, 3),
                    value(Channel::Ultrasonic3, 3), value(Channel::Infrared1, 1), value(Channel::Infrared2, 1),
                    value(Channel::Infrared3, 1), value(Channel::Ground1, 0), verdict_text(history.verdict(index, 0)))
               .arg(value(Channel::Ground2, 0), verdict_text(history.verdict(index, 1))) +
           marked;
}

QString column_readout(const History& history, const ReducedColumns& columns, int column, const QLocale& base) {
    const QLocale locale = plain(base);
    auto value = [&](Channel c, int decimals) {
        const ChannelSummary& s = columns.at(c, column).summary;
        QStringList parts;
        if (s.values > 0) {
            parts << locale.toString(static_cast<double>(s.min), 'f', decimals);
            if (s.max != s.min) parts << QStringLiteral("to") << locale.toString(static_cast<double>(s.max), 'f', decimals);
        }
        if (s.err) parts << QStringLiteral("ERR");
        if (s.ok) parts << QStringLiteral("OK");
        return parts.isEmpty() ? QStringLiteral("–") : parts.join(QLatin1Char(' '));
    };
    auto verdicts = [&](std::size_t g) {
        const VerdictSummary& v = columns.verdict(g, column);
        return QString(v.black ? QStringLiteral(" black") : QString()) + (v.white ? QStringLiteral(" white") : QString());
    };
    const std::int64_t begin = columns.column_start_ns(column), end = columns.column_start_ns(column + 1);
    const double from_s = static_cast<double>(begin - history.origin_ns()) / 1e9;
    const double to_s = static_cast<double>(end - history.origin_ns()) / 1e9;
    const QString marked = marker_text(history.markers(), begin, end);
    return QStringLiteral("%1 to %2   Ultrasonic %3 / %4 / %5 m   Infrared %6 / %7 / %8 cm   Ground %9%10 / %11%12")
               .arg(run_time_text(from_s, 1), run_time_text(to_s, 1), value(Channel::Ultrasonic1, 3), value(Channel::Ultrasonic2, 3),
                    value(Channel::Ultrasonic3, 3), value(Channel::Infrared1, 1), value(Channel::Infrared2, 1),
                    value(Channel::Infrared3, 1), value(Channel::Ground1, 0))
               .arg(verdicts(0), value(Channel::Ground2, 0), verdicts(1)) +
           marked;
}

}  // namespace sensor
