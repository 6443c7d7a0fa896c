// The hover readout's text for one held frame: its run time and every plotted quantity as the
// plots show it, with the locale's decimal separator.
#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>

#include "trends/history.h"

namespace sensor {

// "0:05.00   Ultrasonic 2.250 / 3.250 / 4.250 m   Infrared ERR / OK / 12.4 cm   Ground 100 black / 1000 white"
QString frame_readout(const History& history, std::uint64_t index, const QLocale& locale);

}  // namespace sensor
