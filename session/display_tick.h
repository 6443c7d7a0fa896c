// The display tick: the timer that wakes what shows frames (the cells, the status line, Trends)
// when DisplayPace says so. One timer, started only by a change, so an idle panel sleeps.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include "panel/display_pace.h"

namespace sensor {

class DisplayTick : public QObject {
    Q_OBJECT
public:
    explicit DisplayTick(QObject* parent = nullptr);

    // Something to show changed.
    void request();
    bool pending() const { return pace_.pending(); }

signals:
    void tick();

private:
    void fire();

    DisplayPace pace_;
    QTimer timer_;
    QElapsedTimer clock_;
};

}  // namespace sensor
