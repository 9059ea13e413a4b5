// The renderer's inner loop: one oscillator summed over the voices of one
// instrument for a block of samples. Compiled once per instruction set
// (osc_sse2.cpp, osc_avx2.cpp, osc_avx512.cpp from osc_kernel.inc); the
// renderer picks the widest one the processor runs.
#pragma once

// One oscillator over a block. Sample s of voice v has the angle
// ph[s] * hz[v] (the same double product the wave functions are given) and
// the level env[v * stride + s]; a level of 0 adds nothing. The kernel writes
// sum[s] = sum over v of env * wave(angle) for s < n.
struct osc_block {
    const double* ph;  // time base per sample
    int n;             // samples, a multiple of 8
    const double* hz;  // frequency of each voice
    const double* env; // levels, stride entries per voice
    int stride;
    int voices;
    double* sum;
};

// wave: 0 sine (cosine of the angle), 1 square, 2 sawtooth.
using osc_kernel = void (*)(int wave, const osc_block& b);

namespace osc_sse2 { void osc_sum(int wave, const osc_block& b); }
namespace osc_avx2 { void osc_sum(int wave, const osc_block& b); }
namespace osc_avx512 { void osc_sum(int wave, const osc_block& b); }

// The exact remainder used where a fast one cannot decide (engine.cpp).
double cycle_remainder(double x);
