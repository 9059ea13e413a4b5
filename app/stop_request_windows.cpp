// Stop requests on Windows: the console's Ctrl+C, Ctrl+Break and close
// events. The system calls the handler on a thread of its own; for a close
// event the process ends once the handler returns, so the handler waits
// there until the main thread has shut down.
#include "app/stop_request.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>

namespace {

HANDLE stop_event = nullptr; // set by a stop request
HANDLE done_event = nullptr; // set once the main thread has shut down
std::atomic<void (*)()> stop_call{nullptr};

BOOL WINAPI on_console_event(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: break;
    default: return FALSE;
    }
    if (void (*stop)() = stop_call.load()) stop();
    if (stop_event) SetEvent(stop_event);
    // The close, log-off and shut-down events end the process as soon as
    // this returns: the program gets the few seconds the system allows to
    // take its devices down first.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && done_event)
        WaitForSingleObject(done_event, 4000);
    return TRUE;
}

void mark_done() {
    if (done_event) SetEvent(done_event);
}

} // namespace

void hold_stop_requests() {
    stop_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    done_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(on_console_event, TRUE);
    std::atexit(mark_done);
}

void wait_for_stop_request() {
    WaitForSingleObject(stop_event, INFINITE);
}

void on_stop_request(void (*stop)()) {
    done_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    stop_call.store(stop);
    SetConsoleCtrlHandler(on_console_event, TRUE);
    std::atexit(mark_done);
}
