// The system's serial ports on Windows: the COM names the drivers registered under
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, each with the description, maker and serial number Device
// Manager shows where the Ports class of devices knows it.
#include <QHash>
#include <QStringList>

#include <windows.h>
// initguid.h first, so that devguid.h defines the Ports class's GUID here.
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>

#include "io/port_list.h"

namespace sensor {
namespace {

struct Details {
    QString description;
    QString manufacturer;
    QString serial_number;
};

QString registry_text(HKEY key, const wchar_t* name) {
    wchar_t text[256] = {};
    DWORD size = sizeof text - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS || type != REG_SZ)
        return {};
    return QString::fromWCharArray(text);
}

// The COM names in the order of their numbers: COM2 before COM10.
QStringList registered_ports() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return {};  // no serial port has ever been registered on this machine
    QStringList names;
    for (DWORD i = 0;; ++i) {
        wchar_t device[256];
        DWORD device_size = 256;
        wchar_t port[256] = {};
        DWORD port_size = sizeof port - sizeof(wchar_t);
        DWORD type = 0;
        const LONG result =
            RegEnumValueW(key, i, device, &device_size, nullptr, &type, reinterpret_cast<BYTE*>(port), &port_size);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result == ERROR_SUCCESS && type == REG_SZ) names << QString::fromWCharArray(port);
    }
    RegCloseKey(key);
    const auto number = [](const QString& name) { return name.mid(3).toInt(); };
    std::sort(names.begin(), names.end(), [&](const QString& a, const QString& b) {
        return number(a) != number(b) ? number(a) < number(b) : a < b;
    });
    return names;
}

QString device_property(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property) {
    wchar_t text[256] = {};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, device, property, &type, reinterpret_cast<BYTE*>(text),
                                           sizeof text - sizeof(wchar_t), nullptr) ||
        type != REG_SZ)
        return {};
    return QString::fromWCharArray(text);
}

// A USB device's instance id ends in its serial number ("USB\VID_0403&PID_6001\A50285BI"); one
// that has none gets a made-up part with "&" in it.
QString serial_number(HDEVINFO set, SP_DEVINFO_DATA* device) {
    wchar_t id[512] = {};
    if (!SetupDiGetDeviceInstanceIdW(set, device, id, 511, nullptr)) return {};
    const QString instance = QString::fromWCharArray(id);
    if (!instance.startsWith(QStringLiteral("USB\\"), Qt::CaseInsensitive)) return {};
    const QString last = instance.section(QLatin1Char('\\'), -1);
    return last.contains(QLatin1Char('&')) ? QString() : last;
}

QHash<QString, Details> port_details() {
    QHash<QString, Details> details;
    const HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return details;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        const HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
        if (key == INVALID_HANDLE_VALUE) continue;
        const QString port = registry_text(key, L"PortName");
        RegCloseKey(key);
        if (port.isEmpty()) continue;
        details.insert(port.toUpper(), {device_property(set, &device, SPDRP_DEVICEDESC),
                                        device_property(set, &device, SPDRP_MFG), serial_number(set, &device)});
    }
    SetupDiDestroyDeviceInfoList(set);
    return details;
}

}  // namespace

QList<PortInfo> PortList::system_ports() {
    // The registry is read on every poll; the device details, which take longer, only when the
    // ports present changed.
    static QStringList known;
    static QHash<QString, Details> details;
    const QStringList names = registered_ports();
    if (names != known) {
        details = port_details();
        known = names;
    }
    QList<PortInfo> ports;
    for (const QString& name : names) {
        const Details d = details.value(name.toUpper());
        ports.append({name, d.description, d.manufacturer, d.serial_number});
    }
    return ports;
}

}  // namespace sensor
