// Figures of the synthesizer played through a JACK server of its own (dummy
// back-end, 44100 Hz, 1024-frame periods):
//   - note-on leaving the MIDI client to the first non-zero output sample,
//     over 100 notes: median and maximum;
//   - JACK xruns and the time the stream callback takes per buffer over a
//     dense chord sequence (60 s unless a number of seconds is given).
// Run: build/device_measure [seconds]
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "jack_harness.h"
#include "midi/midi_input.h"
#include "platform/fsound.h"
#include "platform/host.h"

namespace {

constexpr int RATE = 44100;
constexpr jack_nframes_t PERIOD = 1024;

std::atomic<long long> busy_ns{0}, worst_ns{0};
std::atomic<long> buffers{0};

// The engine's stream callback, timed.
signed char timed_callback(FSOUND_STREAM* s, void* buff, int len, int param) {
    auto t0 = std::chrono::steady_clock::now();
    signed char r = streamcallback(s, buff, len, param);
    long long ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - t0).count();
    busy_ns.fetch_add(ns, std::memory_order_relaxed);
    buffers.fetch_add(1, std::memory_order_relaxed);
    if (ns > worst_ns.load(std::memory_order_relaxed)) worst_ns.store(ns, std::memory_order_relaxed);
    return r;
}

jack_nframes_t first_sound(const jack_tester& t, jack_nframes_t from, jack_nframes_t to) {
    for (jack_nframes_t f = from; f != to; ++f)
        if (t.sample(0, f) != 0.0f) return f;
    return to;
}

void dense_instruments() {
    for (instrument* in : {&i1, &i2}) {
        for (int k = 0; k < OSCILLATORS; ++k) {
            in->frq[k] = k * 5 - 12;
            in->vol[k] = 0.08;
            in->wav[k] = k % 4;
            in->vib[k] = 0.3;
        }
        compute_oscsteps(*in);
        in->attacklen = 2000;
        in->decaylen = 4000;
        in->decay = 0.6;
        in->releaselen = 22050;
    }
    multimode = 4; // every note on both instruments
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    jack_server server;
    if (!server.start("dev" + std::to_string(getpid()))) {
        std::fprintf(stderr, "jackd did not start\n");
        return 1;
    }
    engine_init();
    jack_tester tester(seconds + 20.0);
    if (!tester.ok() || FSOUND_SetOutput(FSOUND_OUTPUT_ASIO) != 1 || FSOUND_Init(44100, 16, 0) != 1) {
        std::fprintf(stderr, "no JACK output\n");
        return 1;
    }
    initmidi(0);
    midiopen();
    FSOUND_STREAM* stream = FSOUND_Stream_Create(timed_callback, streamsamples, 0x130, 44100, 0);
    if (!device || !stream || FSOUND_Stream_Play(FSOUND_FREE, stream) != 0 ||
        !tester.record_from("^" + program_name() + "(-[0-9]+)?")) {
        std::fprintf(stderr, "could not set up MIDI in and audio out\n");
        return 1;
    }

    // Latency: 100 notes at every place within a period.
    const int N = 100;
    const jack_nframes_t spacing = 4 * PERIOD;
    jack_nframes_t t0 = tester.now() + RATE / 2;
    for (int k = 0; k < N; ++k) {
        jack_nframes_t at = t0 + jack_nframes_t(k) * spacing + jack_nframes_t(k * 397 % PERIOD);
        tester.send(at, {0x90, 57, 127});
        tester.send(at + PERIOD, {0x90, 57, 0});
    }
    tester.wait_for(t0 + jack_nframes_t(N + 1) * spacing);
    std::vector<double> ms;
    for (int k = 0; k < N; ++k) {
        jack_nframes_t on = tester.sent_frame(2 * k);
        jack_nframes_t first = first_sound(tester, on, on + spacing);
        if (on != 0 && first != on + spacing) ms.push_back(1000.0 * double(first - on) / RATE);
    }
    std::sort(ms.begin(), ms.end());
    if (ms.empty()) {
        std::printf("latency: no note sounded\n");
    } else {
        size_t m = ms.size();
        std::printf("note-on to first non-zero sample, %zu of %d notes: median %.2f ms, max %.2f ms, min %.2f ms\n",
                    m, N, (ms[(m - 1) / 2] + ms[m / 2]) / 2, ms.back(), ms.front());
    }

    // Dense chords: 8 notes every 250 ms on both instruments, long releases.
    dense_instruments();
    busy_ns = 0;
    worst_ns = 0;
    buffers = 0;
    const int xruns_before = tester.xruns(), gaps_before = tester.gaps();
    const jack_nframes_t step = RATE / 4;
    t0 = tester.now() + RATE / 4;
    const int chords = int(seconds * 4);
    const int roots[] = {36, 41, 43, 38, 45, 40};
    for (int c = 0; c < chords; ++c) {
        jack_nframes_t at = t0 + jack_nframes_t(c) * step;
        int root = roots[c % 6];
        for (int k = 0; k < 8; ++k) tester.send(at, {0x90, (unsigned char)(root + k * 5), 100});
        for (int k = 0; k < 8; ++k) tester.send(at + step - 64, {0x90, (unsigned char)(root + k * 5), 0});
    }
    tester.wait_for(t0 + jack_nframes_t(chords) * step + RATE, seconds + 30.0);
    long n = buffers.load();
    std::printf("dense chords for %.0f s (8 notes x 2 instruments x 10 oscillators every 250 ms): "
                "%d xruns, %d skipped periods\n",
                seconds, tester.xruns() - xruns_before, tester.gaps() - gaps_before);
    if (n > 0)
        std::printf("stream callback per 1024-sample buffer: mean %.3f ms, max %.3f ms (a buffer lasts %.1f ms)\n",
                    busy_ns.load() / 1e6 / double(n), worst_ns.load() / 1e6, 1000.0 * 1024 / RATE);

    FSOUND_Stream_Close(stream);
    midiclose();
    FSOUND_Close();
    return 0;
}
