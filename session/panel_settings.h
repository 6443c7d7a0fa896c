// What the panel remembers from one start to the next, read and written in one place: the port
// chosen last, the log file, whether its lines carry time columns, and the Trends window's place.
#pragma once

#include <QByteArray>
#include <QString>

class QSettings;

namespace sensor {

struct PanelSettings {
    QString last_port;  // chosen in the Port menu and opened; empty for port 1
    QString log_path;   // chosen in the Log menu; empty for the default
    bool log_times = false;  // log lines carry their time columns
    bool trends_open = false;     // Trends was open when the panel ended
    QByteArray trends_geometry;   // where Trends was; empty: its default size
    int trends_span_s = 60;

    static PanelSettings load(const QSettings& settings);
    void save(QSettings& settings) const;
};

}  // namespace sensor
