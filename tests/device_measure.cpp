// Figures of the synthesizer played through JACK servers of its own (dummy
// back-end, 44100 Hz), with the live layer's one client:
//   - note-on leaving the MIDI client to the first non-zero output sample,
//     over 100 notes at every place in a period, at periods of 64, 128, 256
//     and 1024 frames: median, minimum and maximum;
//   - JACK xruns and the server's DSP load over a dense chord sequence at 64
//     frames (60 s unless a number of seconds is given).
// Run: build/device_measure [seconds]
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "jack_harness.h"
#include "platform/live.h"

namespace {

constexpr int RATE = 44100;

jack_nframes_t first_sound(const jack_tester& t, jack_nframes_t from, jack_nframes_t to) {
    for (jack_nframes_t f = from; f != to; ++f)
        if (t.sample(0, f) != 0.0f) return f;
    return to;
}

synth_engine engine;
live_session live;

void dense_instruments() {
    for (instrument* in : {&engine.i1, &engine.i2}) {
        for (int k = 0; k < OSCILLATORS; ++k) {
            in->at(K_FRQ, k) = k * 5 - 12;
            in->at(K_VOL, k) = 0.08;
            in->at(K_WAV, k) = k % 4;
            in->at(K_VIB, k) = 0.3;
        }
        compute_oscsteps(*in);
        in->at(K_ATTACKLEN) = 2000;
        in->at(K_DECAYLEN) = 4000;
        in->at(K_DECAY) = 0.6;
        in->at(K_RELEASELEN) = 22050;
    }
    engine.multimode = 4; // every note on both instruments
}

bool start(jack_server& server, int period, jack_tester*& tester, double seconds) {
    if (!server.start("dev" + std::to_string(getpid()) + "-" + std::to_string(period), period)) {
        std::fprintf(stderr, "jackd did not start at %d frames\n", period);
        return false;
    }
    engine.reset();
    tester = new jack_tester(seconds);
    live_settings s;
    s.audio = "jack";
    std::string why;
    if (!tester->ok() || !live.open(engine, s, &why) || !tester->record_from("^device_measure(-[0-9]+)?")) {
        std::fprintf(stderr, "could not set up MIDI in and audio out: %s\n", why.c_str());
        return false;
    }
    return true;
}

void stop(jack_server& server, jack_tester*& tester) {
    live.close_stream();
    live.close_midi();
    live.close();
    delete tester;
    tester = nullptr;
    server.stop();
}

void latency(int period) {
    jack_server server;
    jack_tester* tester = nullptr;
    if (start(server, period, tester, 40.0)) {
        const int N = 100;
        const jack_nframes_t P = jack_nframes_t(period), spacing = std::max<jack_nframes_t>(4 * P, 4096);
        const jack_nframes_t t0 = tester->now() + RATE / 2;
        for (int k = 0; k < N; ++k) {
            jack_nframes_t at = t0 + jack_nframes_t(k) * spacing + jack_nframes_t(k * 397 % period);
            tester->send(at, {0x90, 57, 127});
            tester->send(at + spacing / 2, {0x90, 57, 0});
        }
        tester->wait_for(t0 + jack_nframes_t(N + 1) * spacing);
        std::vector<int> late;
        for (int k = 0; k < N; ++k) {
            jack_nframes_t on = tester->sent_frame(2 * k);
            jack_nframes_t first = first_sound(*tester, on, on + spacing / 2);
            if (on != 0 && first != on + spacing / 2) late.push_back(int(first - on));
        }
        std::sort(late.begin(), late.end());
        if (late.empty()) {
            std::printf("period %4d: no note sounded\n", period);
        } else {
            const size_t m = late.size();
            auto ms = [](int frames) { return 1000.0 * frames / RATE; };
            std::printf("period %4d: note-on to first non-zero sample, %zu of %d notes: median %d frames "
                        "(%.2f ms), min %d (%.2f ms), max %d (%.2f ms)\n",
                        period, m, N, late[(m - 1) / 2], ms(late[(m - 1) / 2]), late.front(),
                        ms(late.front()), late.back(), ms(late.back()));
        }
    }
    stop(server, tester);
}

void dense_chords(double seconds) {
    jack_server server;
    jack_tester* tester = nullptr;
    if (start(server, 64, tester, seconds + 20.0)) {
        dense_instruments();
        const int xruns_before = tester->xruns(), gaps_before = tester->gaps();
        const jack_nframes_t step = RATE / 4;
        const jack_nframes_t t0 = tester->now() + RATE / 4;
        const int chords = int(seconds * 4);
        const int roots[] = {36, 41, 43, 38, 45, 40};
        float load_max = 0, load_sum = 0;
        int loads = 0;
        for (int c = 0; c < chords; ++c) {
            jack_nframes_t at = t0 + jack_nframes_t(c) * step;
            int root = roots[c % 6];
            for (int k = 0; k < 8; ++k) tester->send(at, {0x90, (unsigned char)(root + k * 5), 100});
            for (int k = 0; k < 8; ++k) tester->send(at + step - 64, {0x90, (unsigned char)(root + k * 5), 0});
        }
        for (int c = 0; c < chords; c += 4) {
            tester->wait_for(t0 + jack_nframes_t(c) * step, seconds + 30.0);
            const float l = jack_cpu_load(tester->client());
            load_max = std::max(load_max, l);
            load_sum += l;
            ++loads;
        }
        tester->wait_for(t0 + jack_nframes_t(chords) * step + RATE, seconds + 30.0);
        std::printf("period   64: dense chords for %.0f s (8 notes x 2 instruments x 10 oscillators every 250 ms): "
                    "%d xruns, %d skipped periods; server DSP load mean %.1f %%, max %.1f %%\n",
                    seconds, tester->xruns() - xruns_before, tester->gaps() - gaps_before,
                    loads ? load_sum / float(loads) : 0.0f, load_max);
    }
    stop(server, tester);
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    for (int period : {64, 128, 256, 1024}) latency(period);
    dense_chords(seconds);
    return 0;
}
