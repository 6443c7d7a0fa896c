// Formats one frame's quantities for the hover readout.
#include "trends/window/frame_readout.h"

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

}  // namespace

QString frame_readout(const History& history, std::uint64_t index, const QLocale& base) {
    QLocale locale = base;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
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
    return QStringLiteral("%1   Ultrasonic %2 / %3 / %4 m   Infrared %5 / %6 / %7 cm   Ground %8%9 / %10%11")
        .arg(run_time_text(run_s, 2), value(Channel::Ultrasonic1, 3), value(Channel::Ultrasonic2, 3),
             value(Channel::Ultrasonic3, 3), value(Channel::Infrared1, 1), value(Channel::Infrared2, 1),
             value(Channel::Infrared3, 1), value(Channel::Ground1, 0), verdict_text(history.verdict(index, 0)))
        .arg(value(Channel::Ground2, 0), verdict_text(history.verdict(index, 1)));
}

}  // namespace sensor
