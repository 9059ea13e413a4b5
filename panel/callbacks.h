// Slider callbacks: each turns a slider position into the engine's unit and
// writes one parameter (engine/params.h) of the engine its first argument
// points to (the slider row's dp3; null: nothing happens). One definition
// serves every parameter: the table of callbacks is generated from the
// parameter numbers. All return 0 (the dialog's D_O_K).
#pragma once

#include "engine/params.h"

using slider_callback = int (*)(void* engine, int position);

// The callback of a parameter by instrument (1 or 2; 0 for a shared
// setting), kind and oscillator.
slider_callback param_callback(int instrument, int kind, int oscillator = 0);
