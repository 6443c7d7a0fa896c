#include "session/display_tick.h"

namespace sensor {

DisplayTick::DisplayTick(QObject* parent) : QObject(parent) {
    clock_.start();
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &DisplayTick::fire);
}

void DisplayTick::request() {
    const std::optional<std::int64_t> wait = pace_.request(clock_.elapsed());
    if (!wait) return;
    if (*wait == 0) fire();
    else timer_.start(static_cast<int>(*wait));
}

void DisplayTick::fire() {
    timer_.stop();
    pace_.ticked(clock_.elapsed());
    emit tick();
}

}  // namespace sensor
