// The console side of a window program on Windows: its messages reach the console it was started
// from, and Ctrl-C, Ctrl-Break or closing that console ends it the way closing the window does.
// Win32 only; POSIX builds use signals instead.
#pragma once

namespace sensor {

// Points standard output and errors that go nowhere (a GUI program's) at the parent's console, if
// there is one. Output already sent to a file or a pipe stays there. True when a console was attached.
bool attach_parent_console();

// Calls stop, on a thread of the system's, when the console asks the program to end. stop must
// only post a request to the program's own thread (for example a queued quit of the event loop).
// After a console close the program has a few seconds before the system ends it; the handler
// waits until console_stop_finished() or 4 s.
bool call_on_console_stop(void (*stop)());
void console_stop_finished();

}  // namespace sensor
