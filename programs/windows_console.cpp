#include "programs/windows_console.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

namespace sensor {
namespace {

std::atomic<void (*)()> stop_request{nullptr};
HANDLE stop_finished = nullptr;

bool goes_nowhere(DWORD which) {
    const HANDLE h = GetStdHandle(which);
    return h == nullptr || h == INVALID_HANDLE_VALUE || GetFileType(h) == FILE_TYPE_UNKNOWN;
}

BOOL WINAPI on_console_event(DWORD event) {
    void (*stop)() = stop_request.load();
    if (stop == nullptr) return FALSE;
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            stop();
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            stop();
            // Returning lets the system end the process at once; the port and the log close first.
            if (stop_finished != nullptr) WaitForSingleObject(stop_finished, 4000);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

bool attach_parent_console() {
    const bool out_nowhere = goes_nowhere(STD_OUTPUT_HANDLE);
    const bool err_nowhere = goes_nowhere(STD_ERROR_HANDLE);
    if (!out_nowhere && !err_nowhere) return false;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
    // The C runtime cannot line-buffer a console, so each message goes out whole and at once.
    if (out_nowhere && std::freopen("CONOUT$", "w", stdout) != nullptr) std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (err_nowhere && std::freopen("CONOUT$", "w", stderr) != nullptr) std::setvbuf(stderr, nullptr, _IONBF, 0);
    return true;
}

bool call_on_console_stop(void (*stop)()) {
    if (stop_finished == nullptr) stop_finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    stop_request.store(stop);
    return SetConsoleCtrlHandler(on_console_event, TRUE) != 0;
}

void console_stop_finished() {
    if (stop_finished != nullptr) SetEvent(stop_finished);
}

}  // namespace sensor
