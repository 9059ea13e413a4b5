// Stop requests on Windows: the console's Ctrl+C, Ctrl+Break and close
// events. The system calls the handler on a thread of its own; for a close
// event the process ends once the handler returns, so the handler waits
// there until the main thread has shut down.
#include "platform/stop_request.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>

namespace {

// A console handler takes no pointer of ours: what it uses must be here.
struct {
    HANDLE stop_event = nullptr; // set by a stop request
    HANDLE done_event = nullptr; // set once the main thread has shut down
    std::atomic<void (*)()> stop_call{nullptr};
} console;

BOOL WINAPI on_console_event(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: break;
    default: return FALSE;
    }
    if (void (*stop)() = console.stop_call.load()) stop();
    if (console.stop_event) SetEvent(console.stop_event);
    // The close, log-off and shut-down events end the process as soon as
    // this returns: the program gets the few seconds the system allows to
    // take its devices down first.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && console.done_event)
        WaitForSingleObject(console.done_event, 4000);
    return TRUE;
}

void mark_done() {
    if (console.done_event) SetEvent(console.done_event);
}

} // namespace

void hold_stop_requests() {
    console.stop_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    console.done_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(on_console_event, TRUE);
    std::atexit(mark_done);
}

void wait_for_stop_request() {
    WaitForSingleObject(console.stop_event, INFINITE);
}

void on_stop_request(void (*stop)()) {
    console.done_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    console.stop_call.store(stop);
    SetConsoleCtrlHandler(on_console_event, TRUE);
    std::atexit(mark_done);
}

const char* stop_request_names() { return "Ctrl+C, Ctrl+Break or closing the console"; }
