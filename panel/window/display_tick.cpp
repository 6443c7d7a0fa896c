// The display tick: one timer, started only by a change, so an idle panel has nothing to wake for.
#include "panel/window/display_tick.h"

#include "io/serial_link.h"

namespace sensor {

// Reads and ticks on one pace, so that the wake that reads a frame also shows it.
static_assert(DisplayTick::kIntervalMs == SerialLink::kReadPaceMs);

DisplayTick::DisplayTick(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &DisplayTick::fire);
}

void DisplayTick::request() {
    if (timer_.isActive()) return;
    const qint64 since = last_.isValid() ? last_.elapsed() : kIntervalMs;
    if (since >= kIntervalMs - kSlackMs) {
        fire();
        return;
    }
    timer_.start(static_cast<int>(kIntervalMs - since));
}

void DisplayTick::fire() {
    timer_.stop();
    last_.start();
    emit tick();
}

}  // namespace sensor
