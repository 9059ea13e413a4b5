// Stop requests on Linux: SIGINT and SIGTERM.
#include "platform/stop_request.h"

#include <pthread.h>
#include <signal.h>

namespace {

// A signal handler takes no pointer of ours: what it calls must be here.
void (*stop_call)() = nullptr;
void on_stop_signal(int) {
    if (stop_call) stop_call();
}

sigset_t stop_signals() {
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    return stop;
}

} // namespace

// The signals are blocked before any thread of the sound and MIDI libraries
// starts, so every thread inherits the mask and the main thread takes them
// with sigwait.
void hold_stop_requests() {
    const sigset_t stop = stop_signals();
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
}

void wait_for_stop_request() {
    const sigset_t stop = stop_signals();
    int sig = 0;
    while (sigwait(&stop, &sig) != 0) {}
}

void on_stop_request(void (*stop)()) {
    stop_call = stop;
    struct sigaction act{};
    act.sa_handler = on_stop_signal;
    sigaction(SIGINT, &act, nullptr); // in place of Allegro's, which cannot end a parked X input
    sigaction(SIGTERM, &act, nullptr);
}

const char* stop_request_names() { return "SIGINT or SIGTERM"; }
