#include "io/port_list.h"

#include <QFileSystemWatcher>
#include <QStringList>

#include "link/port_name.h"

namespace sensor {
namespace {

constexpr int kPollMs = 1000;
// An adapter's node appears in /dev a moment before its details are readable.
constexpr int kSettleMs = 300;

}  // namespace

QString PortInfo::label() const {
    return description.isEmpty() ? location : QStringLiteral("%1 (%2)").arg(location, description);
}

PortList::PortList(Source source, QObject* parent) : QObject(parent), source_(std::move(source)) {
    is_system_ = !source_;
    if (!source_) source_ = &PortList::system_ports;
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &PortList::refresh);
}

void PortList::start() {
    refresh();
#ifdef Q_OS_UNIX
    // Asking the system lists every device; a machine with many is asked only on a change.
    if (!dev_watch_ && is_system_) {
        dev_watch_ = new QFileSystemWatcher(this);
        if (dev_watch_->addPath(QStringLiteral("/dev"))) {
            poll_.setSingleShot(true);
            poll_.setInterval(kSettleMs);
            connect(dev_watch_, &QFileSystemWatcher::directoryChanged, &poll_, qOverload<>(&QTimer::start));
        }
    }
    if (dev_watch_ && !dev_watch_->directories().isEmpty()) {
        dev_watch_->blockSignals(false);
        return;
    }
#endif
    poll_.start();
}

void PortList::stop() {
    poll_.stop();
    if (dev_watch_) dev_watch_->blockSignals(true);
}

void PortList::refresh() {
    QList<PortInfo> now = source_();
    if (now == ports_) return;
    ports_ = std::move(now);
    emit changed(ports_);
}

QString PortList::others_than(const QString& location) const {
    QStringList others;
    for (const PortInfo& p : ports_)
        if (!same_port(p.location.toStdString(), location.toStdString())) others << p.label();
    return others.join(QStringLiteral(", "));
}

}  // namespace sensor
