// The reference renderer: the voice algorithm evaluated one sample, one voice
// and one oscillator at a time, exactly as written, calling the engine's wave
// functions and vibrato for every oscillator. It shares the engine's globals
// (instruments, key state, vibrato phase, noise generator), so a test renders
// a sequence once through it and once through the shipped renderer, each time
// from engine_init(), and compares the samples.
#pragma once

#include <cstdint>

#include "engine/engine.h"

// One sample of one instrument (the counterpart of render_normal).
double oracle_render_normal(instrument* in);

// n samples of both instruments into out (the counterpart of streamcallback).
void oracle_stream(int16_t* out, int n);
