// The renderer's inner loops: one oscillator summed over the voices of one
// instrument for a block of samples, the noise of one sample, and the
// vibrato cosines of a block. Compiled once per instruction set
// (osc_sse2.cpp, osc_avx2.cpp, osc_avx512.cpp from osc_kernel.inc); the
// renderer picks the widest one the processor runs.
#pragma once

#include <cstdint>

// One oscillator over a block. Sample s of voice v has the angle
// ph[s] * hz[v] (the same double product the wave functions are given) and
// the level env[v * stride + s]; a level of 0 adds nothing. For s < n the
// kernel adds to out[s] the sum over v of env * wave(angle), times
// vol * (1 - (0.5 + 0.5 * vibcos[s]) * vib) (times vol alone without vibcos).
struct osc_block {
    const double* ph;  // time base per sample
    int n;             // samples, a multiple of 8
    const double* hz;  // frequency of each voice
    const double* env; // levels, stride entries per voice
    int stride;
    int voices;
    double* out;
    double vol = 1.0;
    double vib = 0.0;
    const double* vibcos = nullptr; // cosine of the vibrato phase per sample
};

// wave: 0 sine (cosine of the angle), 1 square, 2 sawtooth.
using osc_kernel = void (*)(int wave, const osc_block& b);

// The noise oscillators of one instrument for one sample. The generator's
// draws, from `state` on, go voice by voice and, within a voice, oscillator by
// oscillator: draw v * oscillators + j has the weight env[v] * gain[j]. The
// kernel returns the sum of weight times value (0 to 32767) over the
// voices * oscillators draws; it does not advance the generator.
struct noise_block {
    const double* env;  // level of each drawing voice, then zeros up to a multiple of 4
    int stride;         // env[v * stride] is voice v's level
    int voices;
    const double* gain; // weight per noise oscillator, NOISE_GAINS entries, zero past the last
    int oscillators;    // 1 to 10
    uint32_t state;     // the generator before the first draw
};

constexpr int NOISE_GAINS = 16;

using noise_kernel = double (*)(const noise_block& b);

// out[i] = cos(x[i]) to 1e-12 for 0 <= x[i] < 10^10, i < n; n a multiple of 8.
using cosine_kernel = void (*)(const double* x, double* out, int n);

namespace osc_sse2 {
void osc_sum(int wave, const osc_block& b);
double noise_sum(const noise_block& b);
void cosines(const double* x, double* out, int n);
}
namespace osc_avx2 {
void osc_sum(int wave, const osc_block& b);
double noise_sum(const noise_block& b);
void cosines(const double* x, double* out, int n);
}
namespace osc_avx512 {
void osc_sum(int wave, const osc_block& b);
double noise_sum(const noise_block& b);
void cosines(const double* x, double* out, int n);
}

// The generator k steps on is state * noise_jump.mul[k] + noise_jump.add[k]
// (arithmetic modulo 2^32), for k = 0 to NOISE_JUMPS - 1.
constexpr int NOISE_JUMPS = 1025;
struct noise_steps {
    alignas(64) uint32_t mul[NOISE_JUMPS];
    alignas(64) uint32_t add[NOISE_JUMPS];
};
extern const noise_steps noise_jump;

// The exact remainder used where a fast one cannot decide (engine.cpp).
double cycle_remainder(double x);
