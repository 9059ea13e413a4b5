#include "panel/callbacks.h"

#include "engine/engine.h"

namespace {

template <int N> instrument& inst() {
    static_assert(N == 1 || N == 2);
    if constexpr (N == 1) return i1; else return i2;
}

int length_from(int p) { return p * 200 + 1; }

// One definition per parameter; the macros below stamp out the twins.
template <int N, int K> int set_vol(int p) { inst<N>().vol[K] = p / 100.0; return 0; }
template <int N, int K> int set_frq(int p) {
    inst<N>().frq[K] = p - 50;
    if constexpr (N == 1) updateoscp1(); else updateoscp2();
    return 0;
}
template <int N, int K> int set_wav(int p) { inst<N>().wav[K] = p; return 0; }
template <int N, int K> int set_vib(int p) { inst<N>().vib[K] = p / 50.0; return 0; }
template <int N> int set_attacklen(int p) { inst<N>().attacklen = length_from(p); return 0; }
template <int N> int set_attack(int p) { inst<N>().attack = p / 50.0; return 0; }
template <int N> int set_decaylen(int p) { inst<N>().decaylen = length_from(p); return 0; }
template <int N> int set_decay(int p) { inst<N>().decay = p / 50.0; return 0; }
template <int N> int set_releaselen(int p) { inst<N>().releaselen = length_from(p); return 0; }
template <int N> int set_fadelen(int p) { inst<N>().fadelen = p == 0 ? -1 : p * 2000; return 0; }

} // namespace

int splitslider(void*, int p) { splitkey = p; return 0; }
int fade1slider(void*, int p) { fade1 = p; return 0; }
int fade2slider(void*, int p) { fade2 = p; return 0; }
int transposeslider(void*, int p) { transpose = p - 25; return 0; }

void updateoscp1() { compute_oscsteps(i1); }
void updateoscp2() { compute_oscsteps(i2); }

#define SYNTH_DEFINE_OSC(param, k) \
    int param##k##_1(void*, int p) { return set_##param<1, k>(p); } \
    int param##k##_2(void*, int p) { return set_##param<2, k>(p); }
#define SYNTH_DEFINE_ENV(param) \
    int param##1(void*, int p) { return set_##param<1>(p); } \
    int param##2(void*, int p) { return set_##param<2>(p); }
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

} // namespace

slider_callback osc_callback(int instrument, osc_param param, int oscillator) {
    return (instrument == 1 ? osc_table1 : osc_table2)[param * 10 + oscillator];
}

slider_callback env_callback(int instrument, env_param param) {
    return (instrument == 1 ? env_table1 : env_table2)[param];
}
