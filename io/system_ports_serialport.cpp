// The system's serial ports as Qt SerialPort finds them.
#include <QSerialPortInfo>

#include "io/port_list.h"

namespace sensor {

QList<PortInfo> PortList::system_ports() {
    QList<PortInfo> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.append({info.systemLocation(), info.description(), info.manufacturer(), info.serialNumber()});
    return ports;
}

}  // namespace sensor
