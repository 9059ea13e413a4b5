// The host on Windows: the program's name, the performance counter as the
// monotonic clock. The sound libraries need no preparation.
#include "platform/host.h"

#include <windows.h>

#include "platform/timed_messages.h"

const std::string& program_name() {
    static const std::string name = "synth";
    return name;
}

void before_sound_library() {}

int64_t monotonic_ns() noexcept {
    static const int64_t per_second = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return int64_t(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    const int64_t ticks = t.QuadPart;
    return ticks / per_second * 1000000000 + ticks % per_second * 1000000000 / per_second;
}
