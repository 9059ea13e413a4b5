// The reference renderer: the voice algorithm evaluated one sample, one voice
// and one oscillator at a time, exactly as written, calling the engine's wave
// functions and vibrato for every oscillator. It works on an engine's state
// (instruments, key state, vibrato phase, noise generator), so a test renders
// a sequence once through it and once through the shipped renderer, each time
// from a fresh engine, and compares the samples.
#pragma once

#include <cstdint>

#include "engine/engine.h"

// One sample of one instrument (the counterpart of render_normal).
double oracle_render_normal(synth_engine& engine, instrument* in);

// n samples of both instruments into out (the counterpart of synth_engine::render).
void oracle_stream(synth_engine& engine, int16_t* out, int n);
