// Oscillator kernels for every x86-64 processor (two doubles per vector).
#include <immintrin.h>
#define OSC_NS osc_sse2
#define OSC_LANES 2
#define OSC_FMA(a, b, c) ((a) * (b) + (c))
#define OSC_HAS_FMA 0
#define OSC_ANY(m) (_mm_movemask_pd((__m128d)(m)) != 0)
#include "engine/osc_kernel.inc"
