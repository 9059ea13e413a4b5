// The plugin's cost in each format, through hosts of our own (liblilv for
// LV2, the tests' VST3 and CLAP hosts), against the engine's door alone:
// processor time per second of audio at a 256-frame block, for the worst case
// (notes 1-99 held on both instruments, ten oscillators each) and a typical
// one (an 8-note chord, three oscillators on each instrument), at 44100 and
// at 96000 Hz. The wrapper's share is what a format costs over the door.
//
//   build/plugin_bench [--seconds S]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "engine/engine.h"
#include "engine/midi_message.h"
#include "plugin/ports.h"
#include "tests/lv2_host.h"
#include "tests/plugin_instance.h"

namespace {

double cpu_seconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

// The controls of a case: `oscillators` sounding on both instruments, in
// fade mode over the whole keyboard, so that every note sounds on both.
std::vector<float> case_controls(int oscillators) {
    std::vector<float> c(PARAM_COUNT);
    for (int id = 0; id < PARAM_COUNT; ++id) c[id] = float(port_default(id));
    for (int n = 1; n <= 2; ++n)
        for (int k = 0; k < 10; ++k) {
            const bool on = k < oscillators;
            c[param_id(n, K_VOL, k)] = on ? 0.1f : 0.0f;
            c[param_id(n, K_FRQ, k)] = float(on ? k : 0);
            c[param_id(n, K_WAV, k)] = float(k % 3);
            c[param_id(n, K_VIB, k)] = on ? 0.3f : 0.0f;
        }
    c[param_id(0, K_MODE)] = 4;
    c[param_id(0, K_FADE1)] = 0;
    c[param_id(0, K_FADE2)] = 100;
    return c;
}

// Milliseconds of processor time per second of audio, through a plugin.
double plugin_cost(plugin_instance& p, int oscillators, const std::vector<int>& notes, double seconds, int rate) {
    p.controls = case_controls(oscillators);
    std::vector<timed_midi> held;
    for (int n : notes) held.push_back({0, {0x90, uint8_t(n), 127}});
    bool stereo;
    p.play(held, rate, {256}, &stereo); // past the attacks
    const int64_t frames = int64_t(seconds * rate);
    const double t0 = cpu_seconds();
    p.play({}, frames, {256}, &stereo);
    return (cpu_seconds() - t0) * 1000.0 / (double(frames) / rate);
}

// The same through the engine's door alone, into one buffer.
double door_cost(int oscillators, const std::vector<int>& notes, double seconds, int rate) {
    synth_engine e{float(rate)};
    const std::vector<float> c = case_controls(oscillators);
    for (int id = 0; id < PARAM_COUNT; ++id) e.set(id, c[id]);
    std::vector<block_event> held;
    for (int n : notes) held.push_back({0, short_message(0x90, n, 127)});
    float out[256];
    e.render(out, 256, held);
    for (int i = 256; i < rate; i += 256) e.render(out, 256, {});
    const int64_t blocks = int64_t(seconds * rate) / 256;
    const double t0 = cpu_seconds();
    for (int64_t b = 0; b < blocks; ++b) e.render(out, 256, {});
    return (cpu_seconds() - t0) * 1000.0 / (double(blocks * 256) / rate);
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
    const struct {
        const char* name;
        int oscillators;
        std::vector<int> notes;
    } cases[] = {{"worst case (99 notes on both instruments, 10 oscillators)", 10, all},
                 {"typical (8-note chord, 3 oscillators on both)", 3, {48, 52, 55, 59, 62, 65, 69, 72}}};
    for (int rate : {44100, 96000}) {
        std::printf("Processor time per second of audio at %d Hz (one core), blocks of 256 frames:\n", rate);
        for (const auto& c : cases) {
            const double door = door_cost(c.oscillators, c.notes, seconds, rate);
            std::printf("  %s\n    engine's door %7.2f ms\n", c.name, door);
            for (const char* format : {"lv2", "vst3", "clap"}) {
                std::unique_ptr<plugin_instance> p =
                    std::strcmp(format, "vst3") == 0   ? open_vst3(SYNTH_VST3_BUNDLE, rate)
                    : std::strcmp(format, "clap") == 0 ? open_clap(SYNTH_CLAP_FILE, rate)
                                                       : std::make_unique<lv2_instance>(host, rate);
                if (!p->ok()) {
                    std::fprintf(stderr, "plugin_bench: the %s plugin does not load\n", format);
                    return 1;
                }
                const double ms = plugin_cost(*p, c.oscillators, c.notes, seconds, rate);
                std::printf("    %-13s %7.2f ms (%+.1f %%)\n", format, ms, (ms / door - 1.0) * 100.0);
            }
        }
    }
    return 0;
}
