// Oscillator kernels for every x86-64 processor (two doubles per vector).
#include <immintrin.h>
#define OSC_NS osc_sse2
#define OSC_LANES 2
#define OSC_FMA(a, b, c) ((a) * (b) + (c))
#define OSC_HAS_FMA 0
#define OSC_ANY(m) (_mm_movemask_pd((__m128d)(m)) != 0)
#define OSC_LOW_VALUES(x) ((vd)_mm_cvtepi32_pd((__m128i)(x)))
#define OSC_HIGH_VALUES(x) ((vd)_mm_cvtepi32_pd(_mm_shuffle_epi32((__m128i)(x), 0xEE)))
#include "engine/osc_kernel.inc"
