// The reference helpers: what the tests and the reference renderer
// (tests/oracle.cpp) use besides the engine's door, and the programs do not.
#pragma once

#include <cstdint>

#include "engine/engine.h"

// The rate of the program's original renderer, which the reference renderer plays at.
extern const float outhertz;

// The waves of one sample at time base x.
double sinwave(double x);
double sqrwave(double x);
double sawwave(double x);
// The next value of the noise generator whose state is `rng`.
double rndwave(uint32_t& rng);
// The 5 Hz modulation's factor at its phase, for an oscillator of this depth.
double vibrato(double phase, double depth);

// One sample of instrument n (1 or 2) of an engine through the shipped
// renderer's code, after the changes queued for it; the vibrato phase does
// not move.
double render_normal(synth_engine& engine, int instrument);

// A MIDI message through the door, acting now; nothing is rendered. On the
// thread that renders.
inline void send(synth_engine& engine, unsigned long message) {
    const block_event ev{0, message};
    engine.render(static_cast<int16_t*>(nullptr), 0, std::span<const block_event>(&ev, 1));
}

// The engine's state (engine/engine_state.h), for the reference renderer,
// which renders from it sample by sample as the engine would.
struct engine_state;
engine_state& reference_state(synth_engine& engine);
