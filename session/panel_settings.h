// What the panel remembers from one start to the next, read and written in one place: the port
// chosen last, the log file, whether its lines carry time columns, and the Trends window's place.
#pragma once

#include <QString>

class QSettings;

namespace sensor {

struct PanelSettings {
    QString last_port;  // chosen in the Port menu and opened; empty for port 1
    QString log_path;   // chosen in the Log menu; empty for the default
    bool trends_open = false;

    static PanelSettings load(const QSettings& settings);
    void save(QSettings& settings) const;
};

}  // namespace sensor
