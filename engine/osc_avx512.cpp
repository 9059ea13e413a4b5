// Oscillator kernels for processors with AVX-512 F and DQ (eight doubles per
// vector). Built with -mavx512f -mavx512dq; only called where the processor
// has them.
#include <immintrin.h>
// GCC 12 takes the undefined upper parts that its own conversion and
// extraction intrinsics start from for uninitialised values.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#define OSC_NS osc_avx512
#define OSC_LANES 8
#define OSC_FMA(a, b, c) ((vd)_mm512_fmadd_pd((__m512d)(a), (__m512d)(b), (__m512d)(c)))
#define OSC_HAS_FMA 1
#define OSC_ANY(m) (_mm512_movepi64_mask((__m512i)(m)) != 0)
#define OSC_LOW_VALUES(x) ((vd)_mm512_cvtepi32_pd(_mm512_castsi512_si256((__m512i)(x))))
#define OSC_HIGH_VALUES(x) ((vd)_mm512_cvtepi32_pd(_mm512_extracti64x4_epi64((__m512i)(x), 1)))
#include "engine/osc_kernel.inc"
