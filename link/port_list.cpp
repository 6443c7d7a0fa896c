#include "link/port_list.h"

#include <QSerialPortInfo>
#include <QStringList>

namespace sensor {
namespace {

constexpr int kPollMs = 1000;

}  // namespace

QString PortInfo::label() const {
    return description.isEmpty() ? location : QStringLiteral("%1 (%2)").arg(location, description);
}

PortList::PortList(Source source, QObject* parent) : QObject(parent), source_(std::move(source)) {
    if (!source_) source_ = &PortList::system_ports;
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &PortList::refresh);
}

QList<PortInfo> PortList::system_ports() {
    QList<PortInfo> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.append({info.systemLocation(), info.description(), info.manufacturer(), info.serialNumber()});
    return ports;
}

void PortList::start() {
    refresh();
    poll_.start();
}

void PortList::stop() { poll_.stop(); }

void PortList::refresh() {
    QList<PortInfo> now = source_();
    if (now == ports_) return;
    ports_ = std::move(now);
    emit changed(ports_);
}

QString PortList::others_than(const QString& location) const {
    QStringList others;
    for (const PortInfo& p : ports_)
        if (p.location != location) others << p.label();
    return others.join(QStringLiteral(", "));
}

}  // namespace sensor
