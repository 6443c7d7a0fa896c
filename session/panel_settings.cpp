#include "session/panel_settings.h"

#include <QSettings>

namespace sensor {
namespace {

const QString kLastPort = QStringLiteral("port/last");
const QString kLogPath = QStringLiteral("log/path");
const QString kLogTimes = QStringLiteral("log/times");
const QString kTrendsOpen = QStringLiteral("trends/open");
const QString kTrendsGeometry = QStringLiteral("trends/geometry");
const QString kTrendsSpan = QStringLiteral("trends/span");

}  // namespace

PanelSettings PanelSettings::load(const QSettings& s) {
    PanelSettings p;
    p.last_port = s.value(kLastPort).toString();
    p.log_path = s.value(kLogPath).toString();
    p.log_times = s.value(kLogTimes).toBool();
    p.trends_open = s.value(kTrendsOpen).toBool();
    p.trends_geometry = s.value(kTrendsGeometry).toByteArray();
    p.trends_span_s = s.value(kTrendsSpan, 60).toInt();
    return p;
}

void PanelSettings::save(QSettings& s) const {
    const auto put = [&s](const QString& key, const QVariant& value, bool keep) {
        if (keep) s.setValue(key, value);
        else s.remove(key);
    };
    put(kLastPort, last_port, !last_port.isEmpty());
    put(kLogPath, log_path, !log_path.isEmpty());
    put(kLogTimes, log_times, true);
    put(kTrendsOpen, trends_open, true);
    put(kTrendsGeometry, trends_geometry, !trends_geometry.isEmpty());
    put(kTrendsSpan, trends_span_s, true);
    s.sync();
}

}  // namespace sensor
