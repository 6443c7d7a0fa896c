// The serial ports present on this machine, followed as adapters are plugged in and pulled out:
// asked when /dev changes where it can be watched, else once a second (on Windows the system's
// own list of serial ports, cheap to read); a change is signalled within two.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class QFileSystemWatcher;

namespace sensor {

struct PortInfo {
    QString location;  // what opens it: /dev/ttyUSB0, COM3
    QString description;
    QString manufacturer;
    QString serial_number;

    bool operator==(const PortInfo&) const = default;
    // "/dev/ttyUSB0 (FT232R USB UART)", for menus and sentences.
    QString label() const;
};

class PortList : public QObject {
    Q_OBJECT
public:
    using Source = std::function<QList<PortInfo>()>;

    // source: where the list comes from; by default the system's, tests give their own.
    explicit PortList(Source source = {}, QObject* parent = nullptr);

    // Qt SerialPort's list; on Windows the registry's, with the names Device Manager shows.
    static QList<PortInfo> system_ports();

    // Starts following the list (and reads it once now); stop() ends the polling.
    void start();
    void stop();
    void refresh();  // reads the list now

    const QList<PortInfo>& ports() const { return ports_; }
    // The ports but one, as "a (x), b (y)", for the sentence that points the user elsewhere.
    QString others_than(const QString& location) const;

signals:
    void changed(const QList<sensor::PortInfo>& ports);

private:
    Source source_;
    QList<PortInfo> ports_;
    QTimer poll_;
    bool is_system_ = false;
    QFileSystemWatcher* dev_watch_ = nullptr;  // the system's list: asked only when /dev changes
};

}  // namespace sensor
