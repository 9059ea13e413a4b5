// The LV2 plugin's cost through a real host (liblilv): processor time per
// second of audio at a 256-frame block, for the worst case (notes 1-99 held
// on both instruments, ten oscillators each) and a typical one (an 8-note
// chord, three oscillators on each instrument), at 44100 and at 96000 Hz.
//
//   build/plugin_bench [--seconds S]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "plugin/ports.h"
#include "tests/lv2_host.h"

namespace {

double cpu_seconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

// Milliseconds of processor time per second of audio.
double cost(lv2_host& host, int oscillators, const std::vector<int>& notes, double seconds, int rate) {
    lv2_instance p(host, rate);
    for (int n = 1; n <= 2; ++n)
        for (int k = 0; k < 10; ++k) {
            const bool on = k < oscillators;
            p.controls[param_id(n, K_VOL, k)] = on ? 0.1f : 0.0f;
            p.controls[param_id(n, K_FRQ, k)] = float(on ? k : 0);
            p.controls[param_id(n, K_WAV, k)] = float(k % 3);
            p.controls[param_id(n, K_VIB, k)] = on ? 0.3f : 0.0f;
        }
    // Fade mode over the whole keyboard: every note sounds on both instruments.
    p.controls[param_id(0, K_MODE)] = 4;
    p.controls[param_id(0, K_FADE1)] = 0;
    p.controls[param_id(0, K_FADE2)] = 100;
    std::vector<timed_midi> held;
    for (int n : notes) held.push_back({0, {0x90, uint8_t(n), 127}});
    bool stereo;
    p.play(held, rate, {256}, &stereo); // past the attacks
    const int64_t frames = int64_t(seconds * rate);
    const double t0 = cpu_seconds();
    p.play({}, frames, {256}, &stereo);
    return (cpu_seconds() - t0) * 1000.0 / (double(frames) / rate);
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 10.0;
    if (argc == 3 && std::strcmp(argv[1], "--seconds") == 0) seconds = std::atof(argv[2]);
    if (!(seconds > 0.0)) {
        std::fprintf(stderr, "usage: plugin_bench [--seconds S]\n");
        return 2;
    }
    lv2_host host(SYNTH_LV2_BUNDLE);
    if (!host.ok()) {
        std::fprintf(stderr, "plugin_bench: no plugin in %s\n", SYNTH_LV2_BUNDLE);
        return 1;
    }
    std::vector<int> all;
    for (int n = 1; n <= 99; ++n) all.push_back(n);
    for (int rate : {44100, 96000}) {
        std::printf("Processor time per second of audio at %d Hz (one core), blocks of 256 frames:\n", rate);
        std::printf("  worst case (99 notes on both instruments, 10 oscillators): %7.2f ms\n",
                    cost(host, 10, all, seconds, rate));
        std::printf("  typical (8-note chord, 3 oscillators on both):             %7.2f ms\n",
                    cost(host, 3, {48, 52, 55, 59, 62, 65, 69, 72}, seconds, rate));
    }
    return 0;
}
