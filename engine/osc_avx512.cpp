// Oscillator kernels for processors with AVX-512 F and DQ (eight doubles per
// vector). Built with -mavx512f -mavx512dq; only called where the processor
// has them.
#include <immintrin.h>
#define OSC_NS osc_avx512
#define OSC_LANES 8
#define OSC_FMA(a, b, c) ((vd)_mm512_fmadd_pd((__m512d)(a), (__m512d)(b), (__m512d)(c)))
#define OSC_HAS_FMA 1
#define OSC_ANY(m) (_mm512_movepi64_mask((__m512i)(m)) != 0)
#include "engine/osc_kernel.inc"
