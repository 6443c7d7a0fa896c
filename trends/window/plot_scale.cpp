// Ranges, tick steps and run-time text for the trend plots' axes.
#include "trends/window/plot_scale.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "eval/ground_line.h"

namespace sensor {

ValueRange full_range(PlotKind kind) {
    // The ultrasonic distance tops out at 65535 / 1800 feet (11.1 m); the infrared table spans 10
    // to 65 cm; ground readings have 10 bits.
    switch (kind) {
    case PlotKind::Ultrasonic: return {0, 12};
    case PlotKind::Infrared: return {0, 70};
    case PlotKind::Ground: return {0, 1023};
    }
    return {0, 1};
}

ValueRange fitted_range(PlotKind kind, std::optional<ValueRange> data) {
    if (!data) return full_range(kind);
    if (kind == PlotKind::Ground) {
        data->low = std::min(data->low, static_cast<float>(kGroundThreshold));
        data->high = std::max(data->high, static_cast<float>(kGroundThreshold));
    }
    // The smallest margin around a flat trace, in the quantity's unit.
    const float least = kind == PlotKind::Ultrasonic ? 0.05f : kind == PlotKind::Infrared ? 1.0f : 10.0f;
    const float pad = std::max((data->high - data->low) * 0.05f, least);
    const double low = data->low - pad, high = data->high + pad;
    const double step = value_step(high - low, 4);
    // Whole steps, but not past what the quantity can take unless the data itself is.
    const ValueRange full = full_range(kind);
    const double snapped_low = std::floor(low / step) * step, snapped_high = std::ceil(high / step) * step;
    return {static_cast<float>(data->low >= full.low ? std::max(snapped_low, static_cast<double>(full.low)) : snapped_low),
            static_cast<float>(data->high <= full.high ? std::min(snapped_high, static_cast<double>(full.high)) : snapped_high)};
}

double value_step(double span, int max_steps) {
    const double raw = span / std::max(max_steps, 1);
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0}) {
        if (m * magnitude >= raw) return m * magnitude;
    }
    return 10 * magnitude;
}

double time_step(double span_s, int width_px, int min_px) {
    static constexpr std::array<double, 17> kSteps{0.1, 0.2, 0.5, 1,   2,   5,   10,   15,  30,
                                                   60,  120, 300, 600, 900, 1800, 3600, 7200};
    for (const double s : kSteps) {
        if (s / span_s * width_px >= min_px) return s;
    }
    return kSteps.back();
}

QString run_time_text(double seconds, int decimals) {
    const double magnitude = std::abs(seconds);
    // Round once, so 59.996 s reads "1:00.00", never "0:60.00".
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(magnitude * scale) / scale;
    const auto minutes = static_cast<long long>(std::floor(rounded / 60));
    const double rest = rounded - static_cast<double>(minutes) * 60;
    const int field = decimals > 0 ? 3 + decimals : 2;
    const QString seconds_text = QStringLiteral("%1").arg(rest, field, 'f', decimals, QLatin1Char('0'));
    const QString text = minutes < 60 ? QStringLiteral("%1:%2").arg(minutes).arg(seconds_text)
                                      : QStringLiteral("%1:%2:%3").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0')).arg(seconds_text);
    return seconds < 0 && rounded > 0 ? QStringLiteral("-") + text : text;
}

}  // namespace sensor
