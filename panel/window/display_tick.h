// The display's pace: what shows frames (the cells, the trends) follows on this tick, at most
// about 16 times a second while frames arrive, at once after a quiet spell, never while idle.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace sensor {

class DisplayTick : public QObject {
    Q_OBJECT
public:
    // Numbers that change faster than this cannot be read; a frame still shows within 70 ms.
    static constexpr int kIntervalMs = 60;
    // The port is read on the same pace, so a change this close to the interval's end is shown
    // in the same wake instead of waking again a few milliseconds later.
    static constexpr int kSlackMs = 10;

    explicit DisplayTick(QObject* parent = nullptr);

    // Something to show changed: tick now if the last tick is an interval old, else at its end.
    void request();
    bool pending() const { return timer_.isActive(); }

signals:
    void tick();

private:
    void fire();

    QTimer timer_;  // runs only while a requested tick waits
    QElapsedTimer last_;
};

}  // namespace sensor
