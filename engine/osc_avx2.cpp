// Oscillator kernels for processors with AVX2 and FMA (four doubles per
// vector). Built with -mavx2 -mfma; only called where the processor has them.
#include <immintrin.h>
#define OSC_NS osc_avx2
#define OSC_LANES 4
#define OSC_FMA(a, b, c) ((vd)_mm256_fmadd_pd((__m256d)(a), (__m256d)(b), (__m256d)(c)))
#define OSC_HAS_FMA 1
#define OSC_ANY(m) (_mm256_movemask_pd((__m256d)(m)) != 0)
#define OSC_LOW_VALUES(x) ((vd)_mm256_cvtepi32_pd(_mm256_castsi256_si128((__m256i)(x))))
#define OSC_HIGH_VALUES(x) ((vd)_mm256_cvtepi32_pd(_mm256_extracti128_si256((__m256i)(x), 1)))
#include "engine/osc_kernel.inc"
