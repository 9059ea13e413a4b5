// Speed of the shipped renderer against the reference renderer, in seconds of
// audio per second of one core (CPU time of this thread), for the worst case
// (both instruments, notes 0-99 held, ten oscillators each) and a typical one.
//
//   build/render_bench [--seconds S]   S: seconds of audio per shipped run (default 10)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/notes.h"
#include "tests/oracle.h"

namespace {

double cpu_seconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

struct load {
    const char* name;
    int notes;      // held on each instrument: notes 0..notes-1 (worst) or a chord
    int oscillators;
    int wave;       // -1: sine, square, sawtooth in turn
};

void set_up(synth_engine& e, const load& c) {
    e.reset();
    std::vector<param_change> values;
    for (int n = 1; n <= 2; ++n)
        for (int k = 0; k < OSCILLATORS; ++k) {
            bool on = k < c.oscillators;
            values.push_back({param_id(n, K_VOL, k), on ? 0.1 : 0.0});
            values.push_back({param_id(n, K_FRQ, k), on ? double(k) : 0.0});
            values.push_back({param_id(n, K_WAV, k), double(c.wave >= 0 ? c.wave : k % 3)});
            values.push_back({param_id(n, K_VIB, k), on ? 0.3 : 0.0});
        }
    e.set(values);
    std::vector<block_event> keys;
    for (int mode : {0, 1}) { // the same keys on instrument 1, then on instrument 2
        e.set(param_id(0, K_MODE), mode);
        keys.clear();
        if (c.notes == 100)
            for (int n = 0; n < 100; ++n) keys.push_back({0, short_message(0x90, n, 127)});
        else
            for (int n : {48, 52, 55, 59, 62, 65, 69, 72}) keys.push_back({0, short_message(0x90, n, 127)});
        e.render(static_cast<int16_t*>(nullptr), 0, keys);
    }
}

// Seconds of audio per CPU second, rendering the given seconds of audio in
// buffers of 1024 samples after the attacks have passed.
double speed(const load& c, bool shipped, double seconds) {
    static synth_engine e;
    set_up(e, c);
    static int16_t buf[1024];
    for (int i = 0; i < 2; ++i) { // past every attack and decay
        if (shipped) e.render(buf, 1024);
        else oracle_stream(e, buf, 1024);
    }
    const long buffers = long(seconds * 44100 / 1024) + 1;
    double t0 = cpu_seconds();
    for (long b = 0; b < buffers; ++b) {
        if (shipped) e.render(buf, 1024);
        else oracle_stream(e, buf, 1024);
    }
    double used = cpu_seconds() - t0;
    return buffers * 1024 / 44100.0 / used;
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 10.0;
    if (argc == 3 && std::strcmp(argv[1], "--seconds") == 0) seconds = std::atof(argv[2]);
    if (!(seconds > 0.0)) {
        std::fprintf(stderr, "usage: render_bench [--seconds S]\n");
        return 2;
    }
    const double oracle_seconds = seconds / 10.0; // it is that much slower

    const load loads[] = {
        {"worst case, all sine", 100, 10, 0},     {"worst case, all square", 100, 10, 1},
        {"worst case, all sawtooth", 100, 10, 2}, {"worst case, all noise", 100, 10, 3},
        {"typical: 8 notes x 3 oscillators", 8, 3, -1},
    };
    const std::string chosen = oscillator_code();
    std::vector<std::string> codes;
    for (const char* c : {"sse2", "avx2", "avx512"})
        if (select_oscillator_code(c)) codes.push_back(c);
    select_oscillator_code(chosen.c_str());

    std::printf("Real-time factors: seconds of audio rendered per second of one core.\n");
    std::printf("Oscillator code chosen for this processor: %s\n\n", chosen.c_str());
    std::printf("%-34s %10s %10s %8s", "", "reference", "shipped", "ratio");
    for (const auto& c : codes) std::printf(" %8s", c.c_str());
    std::printf("\n");
    for (const load& c : loads) {
        double ref = speed(c, false, oracle_seconds);
        double fast = speed(c, true, seconds);
        std::printf("%-34s %10.2f %10.2f %8.1f", c.name, ref, fast, fast / ref);
        for (const auto& code : codes) {
            select_oscillator_code(code.c_str());
            std::printf(" %8.2f", speed(c, true, seconds / 2));
        }
        select_oscillator_code(chosen.c_str());
        std::printf("\n");
        std::fflush(stdout);
    }
    std::printf("\nThe live program needs 1.0 (a 1024-sample buffer every 23.2 ms).\n");
    return 0;
}
