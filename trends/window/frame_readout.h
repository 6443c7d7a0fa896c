// The readout's text for one held frame: its run time and every plotted quantity as the plots
// show it, with the locale's decimal separator, and the markers set while it was the newest
// frame; or, for a column whose frames are no longer held, its time span, each quantity's
// extremes and the markers in it.
#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>

#include "trends/column_reduction.h"
#include "trends/history.h"

namespace sensor {

// "0:05.00   Ultrasonic 2.250 / 3.250 / 4.250 m   Infrared ERR / OK / 12.4 cm   Ground 100 black / 1000 white"
QString frame_readout(const History& history, std::uint64_t index, const QLocale& locale);
// The same, naming the markers set in [markers_from_ns, markers_to_ns) instead: those of a column.
QString frame_readout(const History& history, std::uint64_t index, const QLocale& locale, std::int64_t markers_from_ns,
                      std::int64_t markers_to_ns);

// "1:02:03.0 to 1:02:31.8   Ultrasonic 1.200 to 2.300 / ... m   Infrared 12.4 to 30.1 ERR / ... cm   Ground 100 to 620 black white / ..."
QString column_readout(const History& history, const ReducedColumns& columns, int column, const QLocale& locale);

}  // namespace sensor
