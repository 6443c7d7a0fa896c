// The question put when the window closes while log lines still wait for their file: try again,
// save them to another file, or discard them (their count named), or keep the window open.
#pragma once

#include <functional>

class QString;
class QWidget;

namespace sensor {

class LogFile;

// True when the window may close: nothing waits any more, or the operator let the lines go.
// say: where a failed save is reported.
bool settle_waiting_lines(QWidget* parent, LogFile& log, const std::function<void(const QString&)>& say);

}  // namespace sensor
