// Ctrl-C and a polite kill end the Qt event loop like a closed window, so ports are closed and
// files finished in the program's own time instead of mid-write.
#pragma once

class QObject;

namespace sensor {

// Installs the handlers; the quit is delivered through the event loop of context's thread.
// False when the handlers could not be set up (the program then ends the hard way on a signal).
bool quit_on_signals(QObject* context);

}  // namespace sensor
