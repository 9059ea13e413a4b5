// Slider callbacks: each turns a slider position into the engine's unit and
// writes it into an instrument or a layering setting of the engine its first
// argument points to (the slider row's dp3; null: nothing happens). The names
// follow the slider: vol3_2 is the volume of oscillator 3 of instrument 2,
// attacklen1 the attack length of instrument 1. All return 0 (the dialog's
// D_O_K).
#pragma once

#include "engine/params.h"

using slider_callback = int (*)(void* arg, int position);

int splitslider(void*, int);
int fade1slider(void*, int);
int fade2slider(void*, int);
int transposeslider(void*, int);

#define SYNTH_FOR_EACH_OSCILLATOR(X, param) \
    X(param, 0) X(param, 1) X(param, 2) X(param, 3) X(param, 4) \
    X(param, 5) X(param, 6) X(param, 7) X(param, 8) X(param, 9)
#define SYNTH_OSC_PARAMS(X) \
    SYNTH_FOR_EACH_OSCILLATOR(X, vol) SYNTH_FOR_EACH_OSCILLATOR(X, frq) \
    SYNTH_FOR_EACH_OSCILLATOR(X, wav) SYNTH_FOR_EACH_OSCILLATOR(X, vib)
#define SYNTH_ENV_PARAMS(X) \
    X(attacklen) X(attack) X(decaylen) X(decay) X(releaselen) X(fadelen)

#define SYNTH_DECLARE_OSC(param, k) \
    int param##k##_1(void*, int); int param##k##_2(void*, int);
#define SYNTH_DECLARE_ENV(param) int param##1(void*, int); int param##2(void*, int);
SYNTH_OSC_PARAMS(SYNTH_DECLARE_OSC)
SYNTH_ENV_PARAMS(SYNTH_DECLARE_ENV)
#undef SYNTH_DECLARE_OSC
#undef SYNTH_DECLARE_ENV

// The callbacks by instrument (1 or 2), for building the panel table. The
// kinds are numbered as in the parameter table (engine/params.h).
enum osc_param { OSC_VOL = K_VOL, OSC_FRQ = K_FRQ, OSC_WAV = K_WAV, OSC_VIB = K_VIB,
                 OSC_PARAM_COUNT = OSCILLATOR_KINDS };
enum env_param { ENV_ATTACKLEN, ENV_ATTACK, ENV_DECAYLEN, ENV_DECAY, ENV_RELEASELEN,
                 ENV_FADELEN, ENV_PARAM_COUNT };
static_assert(ENV_PARAM_COUNT == ENVELOPE_KINDS && K_ATTACKLEN == OSCILLATOR_KINDS);
slider_callback osc_callback(int instrument, osc_param param, int oscillator);
slider_callback env_callback(int instrument, env_param param);
// The slider of a global setting by kind (K_SPLITKEY ...), or nullptr.
slider_callback global_callback(int kind);
