#include "session/panel_settings.h"

#include <QSettings>

namespace sensor {
namespace {

const QString kLastPort = QStringLiteral("port/last");
const QString kLogPath = QStringLiteral("log/path");
const QString kTrendsOpen = QStringLiteral("trends/open");

}  // namespace

PanelSettings PanelSettings::load(const QSettings& s) {
    PanelSettings p;
    p.last_port = s.value(kLastPort).toString();
    p.log_path = s.value(kLogPath).toString();
    p.trends_open = s.value(kTrendsOpen).toBool();
    return p;
}

void PanelSettings::save(QSettings& s) const {
    const auto put = [&s](const QString& key, const QVariant& value, bool keep) {
        if (keep) s.setValue(key, value);
        else s.remove(key);
    };
    put(kLastPort, last_port, !last_port.isEmpty());
    put(kLogPath, log_path, !log_path.isEmpty());
    put(kTrendsOpen, trends_open, true);
    s.sync();
}

}  // namespace sensor
