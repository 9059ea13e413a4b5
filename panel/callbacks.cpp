#include "panel/callbacks.h"

#include <string_view>

#include "engine/engine.h"

namespace {

// One definition for every slider: the table's conversion of the position,
// written into the slider's engine. The macros below stamp out the named twins.
template <int N, int KIND, int K = 0> int set(void* engine, int p) {
    if (engine) static_cast<synth_engine*>(engine)->set_from_slider(param_id(N, KIND, K), p);
    return 0;
}

// The callbacks' names follow the table's kinds.
constexpr std::string_view osc_keys[] = {
#define SYNTH_KEY(param, k) k == 0 ? #param : "",
    SYNTH_OSC_PARAMS(SYNTH_KEY)
#undef SYNTH_KEY
};
constexpr std::string_view env_keys[] = {
#define SYNTH_KEY(param) #param,
    SYNTH_ENV_PARAMS(SYNTH_KEY)
#undef SYNTH_KEY
};
constexpr bool names_follow_table() {
    for (int p = 0; p < OSC_PARAM_COUNT; ++p)
        if (osc_keys[p * 10] != param_kinds[p].key) return false;
    for (int e = 0; e < ENV_PARAM_COUNT; ++e)
        if (env_keys[e] != param_kinds[OSCILLATOR_KINDS + e].key) return false;
    return true;
}

} // namespace

int splitslider(void* e, int p) { return set<0, K_SPLITKEY>(e, p); }
int fade1slider(void* e, int p) { return set<0, K_FADE1>(e, p); }
int fade2slider(void* e, int p) { return set<0, K_FADE2>(e, p); }
int transposeslider(void* e, int p) { return set<0, K_TRANSPOSE>(e, p); }

#define SYNTH_DEFINE_OSC(param, k) \
    int param##k##_1(void* e, int p) { return set<1, K_##param, k>(e, p); } \
    int param##k##_2(void* e, int p) { return set<2, K_##param, k>(e, p); }
#define SYNTH_DEFINE_ENV(param) \
    int param##1(void* e, int p) { return set<1, K_##param>(e, p); } \
    int param##2(void* e, int p) { return set<2, K_##param>(e, p); }
#define K_vol K_VOL
#define K_frq K_FRQ
#define K_wav K_WAV
#define K_vib K_VIB
#define K_attacklen K_ATTACKLEN
#define K_attack K_ATTACK
#define K_decaylen K_DECAYLEN
#define K_decay K_DECAY
#define K_releaselen K_RELEASELEN
#define K_fadelen K_FADELEN
SYNTH_OSC_PARAMS(SYNTH_DEFINE_OSC)
SYNTH_ENV_PARAMS(SYNTH_DEFINE_ENV)

namespace {

#define SYNTH_OSC_ENTRY1(param, k) param##k##_1,
#define SYNTH_OSC_ENTRY2(param, k) param##k##_2,
const slider_callback osc_table1[] = {SYNTH_OSC_PARAMS(SYNTH_OSC_ENTRY1)};
const slider_callback osc_table2[] = {SYNTH_OSC_PARAMS(SYNTH_OSC_ENTRY2)};

#define SYNTH_ENV_ENTRY1(param) param##1,
#define SYNTH_ENV_ENTRY2(param) param##2,
const slider_callback env_table1[] = {SYNTH_ENV_PARAMS(SYNTH_ENV_ENTRY1)};
const slider_callback env_table2[] = {SYNTH_ENV_PARAMS(SYNTH_ENV_ENTRY2)};

static_assert(sizeof osc_table1 / sizeof *osc_table1 == OSC_PARAM_COUNT * 10);
static_assert(sizeof env_table1 / sizeof *env_table1 == ENV_PARAM_COUNT);
static_assert(names_follow_table(), "the callbacks' names must follow the parameter table");

} // namespace

slider_callback osc_callback(int instrument, osc_param param, int oscillator) {
    return (instrument == 1 ? osc_table1 : osc_table2)[param * 10 + oscillator];
}

slider_callback env_callback(int instrument, env_param param) {
    return (instrument == 1 ? env_table1 : env_table2)[param];
}

slider_callback global_callback(int kind) {
    switch (kind) {
    case K_SPLITKEY: return splitslider;
    case K_FADE1: return fade1slider;
    case K_FADE2: return fade2slider;
    case K_TRANSPOSE: return transposeslider;
    default: return nullptr;
    }
}
