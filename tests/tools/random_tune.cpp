// random_tune SEED OUT.mid: a seeded random tune for comparing renderers
// byte for byte: held notes over the whole key range, chords, long loud
// notes, the sustain pedal, pitch bend over its whole range, the panic
// controllers and tempo changes, on channel 1 (and now and then another).
// The same seed writes the same bytes on every system.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "tests/midi_builder.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: random_tune SEED OUT.mid\n");
        return 2;
    }
    std::mt19937 rng(uint32_t(std::strtoul(argv[1], nullptr, 10)));
    auto pick = [&](int lo, int hi) { return int(rng() % uint32_t(hi - lo + 1)) + lo; };

    // Events on a timeline of ticks, sorted before they are written.
    struct event {
        uint32_t tick;
        int order; // among events at one tick: tempo, controllers, offs, ons
        midi_builder::bytes data;
    };
    std::vector<event> events;
    const uint32_t length = uint32_t(pick(2000, 6000)); // ticks at 480 a beat
    std::vector<int> held;
    for (uint32_t t = 0; t < length; t += uint32_t(pick(1, 120))) {
        const int ch = pick(0, 15) == 0 ? pick(1, 15) : 0;
        switch (pick(0, 11)) {
        case 0: { // a chord, held a while
            const int root = pick(0, 120), n = pick(2, 5);
            const uint32_t off = t + uint32_t(pick(50, 1500));
            for (int k = 0; k < n; ++k) {
                const int note = std::min(127, root + pick(0, 12));
                events.push_back({t, 3, {uint8_t(0x90 | ch), uint8_t(note), uint8_t(pick(1, 127))}});
                events.push_back({off, 2, {uint8_t(0x80 | ch), uint8_t(note), 64}});
            }
            break;
        }
        case 1: { // a long loud note
            const int note = pick(0, 127);
            events.push_back({t, 3, {uint8_t(0x90 | ch), uint8_t(note), 127}});
            events.push_back({t + uint32_t(pick(2000, 5000)), 2, {uint8_t(0x90 | ch), uint8_t(note), 0}});
            break;
        }
        case 2: // the sustain pedal
            events.push_back({t, 1, {uint8_t(0xB0 | ch), 64, uint8_t(pick(0, 1) ? 127 : 0)}});
            break;
        case 3: case 4: { // pitch bend anywhere on the wheel
            const int b = pick(0, 16383);
            events.push_back({t, 1, {uint8_t(0xE0 | ch), uint8_t(b & 0x7F), uint8_t(b >> 7)}});
            break;
        }
        case 5: // all sound off, all notes off, now and then
            if (pick(0, 5) == 0) events.push_back({t, 1, {uint8_t(0xB0 | ch), uint8_t(pick(0, 1) ? 120 : 123), 0}});
            break;
        case 6: // a tempo change
            events.push_back({t, 0, {0xFF, 0x51, 3, 0, 0, 0}});
            {
                const uint32_t us = uint32_t(pick(200000, 1500000));
                events.back().data[3] = uint8_t(us >> 16);
                events.back().data[4] = uint8_t(us >> 8);
                events.back().data[5] = uint8_t(us);
            }
            break;
        default: { // a single note anywhere, short or held
            const int note = pick(0, 127);
            events.push_back({t, 3, {uint8_t(0x90 | ch), uint8_t(note), uint8_t(pick(1, 127))}});
            events.push_back({t + uint32_t(pick(1, 2000)), 2, {uint8_t(0x80 | ch), uint8_t(note), 0}});
        }
        }
    }
    std::stable_sort(events.begin(), events.end(), [](const event& a, const event& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    midi_builder::track track;
    uint32_t now = 0;
    for (const event& e : events) {
        track.ev(e.tick - now, e.data);
        now = e.tick;
    }
    const auto bytes = midi_builder::file(0, 480, {track});
    FILE* f = std::fopen(argv[2], "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
