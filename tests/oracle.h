// The reference renderer: the voice algorithm evaluated one sample, one voice
// and one oscillator at a time, exactly as written, calling the reference
// wave functions and vibrato (engine/reference.h) for every oscillator. It
// works on an engine's state (instruments, key state, vibrato phase, noise
// generator), so a test renders a sequence once through it and once through
// the shipped renderer, each time from a fresh engine, and compares the
// samples. Tests see that state only as a copy (snapshot).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/engine.h"
#include "engine/reference.h"

// One sample of instrument n (1 or 2) (the counterpart of render_normal).
double oracle_render_normal(synth_engine& engine, int instrument);

// n samples of both instruments into out (the counterpart of the door).
void oracle_stream(synth_engine& engine, int16_t* out, int n);

// A copy of what an engine holds, after the changes queued for it.
struct engine_snapshot {
    std::vector<double> value;                  // by parameter number, in the engine's units
    std::vector<int> envpos, velocity, fadecount; // instrument 1's notes, then instrument 2's
    std::vector<double> phase, oscstep;         // instrument 1's oscillators, then instrument 2's
    std::vector<int> noteon;                    // velocity of the last note-on per note, 0: key up
    double vibrato_phase;
    uint32_t noise;
    bool operator==(const engine_snapshot&) const = default;
};
engine_snapshot snapshot(synth_engine& engine);

// Instrument n's time base as it stands `seconds` into a note (each
// oscillator's step times the samples), for angles no render reaches in a
// test's time.
void time_base_into_note(synth_engine& engine, int instrument, double seconds);
