// The shipped renderer: the samples of the engine's door, and render_normal.
//
// It computes what the sample-by-sample algorithm computes, organised for
// speed. It works in blocks of up to 64 samples: per block it
// takes the posted note starts and reads the parameters once, runs every
// voice's envelope through the block (integer state exactly as sample by
// sample), lays out each oscillator's time base for the block (the same
// additions in the same order, so the phases never drift), and then sums each
// oscillator over all voices with vector code. Noise is drawn in the
// sample-by-sample order: per sample instrument 1 before instrument 2, per
// instrument voice by voice, per voice oscillator by oscillator.
//
// A block sees the settings and key states as they stood at its start; the
// door hands over note messages between blocks, so the result is that of
// reading them every sample. Audio thread only: each engine has its own
// scratch space (below), and nothing is allocated, locked or waited for.
#include <cmath>
#include <cstring>
#include <emmintrin.h>

#include "engine/cosine.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/osc_kernels.h"
#include "engine/reference.h"

namespace {

constexpr int BLOCK = 64;
constexpr int PAD = 8; // kernels work on multiples of eight samples
// Distance between two voices' levels: one cache line more than a block, so
// that the voices' levels of one sample do not all fall into the same few
// sets of the cache.
constexpr int STRIDE = BLOCK + 8;

int padded(int n) { return (n + PAD - 1) / PAD * PAD; }

struct envelope {
    int A, D, R;
    double attack, decay;
    int fadelen;
};

// One instrument's block.
struct block {
    int n;        // samples in the block
    int visited;  // samples [0, visited) had an active voice
    int voices;   // voices that may add sound in this block
    alignas(64) double hz[RENDERED_NOTES];
    alignas(64) double env[(RENDERED_NOTES + 4) * STRIDE]; // level per voice and sample
    alignas(64) double levels[BLOCK];  // per sample: sum of the levels
    alignas(64) double audible[BLOCK]; // per sample: voices with a positive level
    alignas(64) double ph[OSCILLATORS][BLOCK];      // time base per sample
    alignas(64) double out[BLOCK];
    double vol[OSCILLATORS], vib[OSCILLATORS];
    int wav[OSCILLATORS];
    int noise[OSCILLATORS], noises; // sounding noise oscillators, in order
};

} // namespace

struct render_scratch {
    block blocks[2];
    alignas(64) double vibcos[BLOCK]; // cos(oscvibrato) of each sample
};

render_scratch* new_render_scratch() { return new render_scratch(); }
void delete_render_scratch(render_scratch* s) { delete s; }

namespace {

// The plain code is there from the start (constant initialisation); the
// widest code the processor runs replaces it while the program starts.
const char* kernel_name = "sse2";
osc_kernel kernel = osc_sse2::osc_sum;
noise_kernel noise = osc_sse2::noise_sum;
cosine_kernel cosines = osc_sse2::cosines;

bool runs_avx512() { return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq"); }
bool runs_avx2() { return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"); }
bool runs_sse2() { return true; } // every x86-64 processor

// The builds of the oscillator code, widest first.
struct oscillator_code_build {
    const char* name;
    bool (*runs_here)();
    osc_kernel osc;
    noise_kernel noise;
    cosine_kernel cosines;
};
constexpr oscillator_code_build builds[] = {
    {"avx512", runs_avx512, osc_avx512::osc_sum, osc_avx512::noise_sum, osc_avx512::cosines},
    {"avx2", runs_avx2, osc_avx2::osc_sum, osc_avx2::noise_sum, osc_avx2::cosines},
    {"sse2", runs_sse2, osc_sse2::osc_sum, osc_sse2::noise_sum, osc_sse2::cosines},
};

void use(const oscillator_code_build& b) {
    kernel_name = b.name;
    kernel = b.osc;
    noise = b.noise;
    cosines = b.cosines;
}

bool pick_kernel() {
    __builtin_cpu_init();
    for (const oscillator_code_build& b : builds)
        if (b.runs_here()) {
            use(b);
            break;
        }
    return true;
}
const bool kernel_picked = pick_kernel();

// Runs one voice through n samples, writing each sample's level (0 where it
// adds nothing) to e, and whether any level is above 0 to *audible. Returns
// the number of samples in which the voice was active, a prefix of the block:
// a voice that ends stays off until a start.
int run_voice(int& p, int& vel, int& fc, bool key_up, const envelope& E, double* e, int n,
              bool* audible) {
    const int AD = E.A + E.D;
    if (!key_up && p >= AD && p < AD + E.R && fc <= 0) {
        // Held at the sustain level with no fade running: the same level
        // every sample, and no state changes.
        double env = vel * 0.2 * E.decay;
        if (fc == 0) env = E.fadelen > 0 ? env * (0.0 / double(E.fadelen)) : 0.0;
        const double level = env > 0.0 ? env : 0.0;
        for (int s = 0; s < n; ++s) e[s] = level;
        *audible = level > 0.0;
        return n;
    }
    bool any = false;
    for (int s = 0; s < n; ++s) {
        if (vel == 0) {
            for (int t = s; t < n; ++t) e[t] = 0.0;
            *audible = any;
            return s;
        }
        double env = 0.0;
        if (fc > 0) fc--;
        if (p < 0) vel = 0;
        if (0 <= p && p < E.A) {
            p++;
            env = double(p) / double(E.A) * E.attack;
        }
        if (E.A <= p && p < AD) {
            p++;
            double d = double(p - E.A) / double(E.D);
            env = d * E.decay + (1.0 - d) * E.attack;
        }
        if (p >= AD) env = E.decay;
        if (key_up && p >= AD) {
            p++;
            env = (1.0 - double(p - AD) / double(E.R)) * E.decay;
        }
        if (p >= AD + E.R) {
            p = -1;
            vel = 0;
        }
        env = vel * 0.2 * env;
        if (fc >= 0) env = E.fadelen > 0 ? env * (double(fc) / double(E.fadelen)) : 0.0;
        e[s] = env > 0.0 ? env : 0.0;
        any |= env > 0.0;
    }
    *audible = any;
    return n;
}

// The notes with a voice on, one bit each, four notes at a time.
void voices_on(const instrument& I, uint64_t on[2]) {
    on[0] = on[1] = 0;
    for (int i = 0; i < RENDERED_NOTES; i += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(I.velocity + i));
        const int off = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(v, _mm_setzero_si128())));
        on[i >> 6] |= uint64_t(off ^ 0xF) << (i & 63);
    }
}

// Takes the posted starts, reads the parameters and runs the envelopes and
// the time base of one instrument through n samples.
void prepare(const engine_state& S, instrument& I, block& B, int n) {
    if (I.hush.load(std::memory_order_relaxed) && I.hush.exchange(false, std::memory_order_relaxed))
        for (int note = 0; note < NOTES; ++note) I.velocity[note] = 0;
    I.starts.take([&](int note, int level, int fadelen) {
        I.velocity[note] = level;
        I.envpos[note] = 0;
        I.fadecount[note] = length_at_rate(fadelen, I.rate);
    });

    const float r = I.rate;
    auto length = [&](int kind) { return length_at_rate(int(I.at(kind)), r); };
    const envelope E{usable_length(length(K_ATTACKLEN)), usable_length(length(K_DECAYLEN)),
                     usable_length(length(K_RELEASELEN)), I.at(K_ATTACK), I.at(K_DECAY), length(K_FADELEN)};
    const int tr = int(S.setting(K_TRANSPOSE));
    const int np = padded(n);
    B.n = n;
    B.visited = 0;
    B.voices = 0;
    // The notes with a voice on, four at a time: the work below is in
    // proportion to the voices on, not to the notes.
    static_assert(RENDERED_NOTES % 4 == 0 && RENDERED_NOTES <= 128);
    uint64_t on[2];
    voices_on(I, on);
    for (int w = 0; w < 2; ++w)
    for (uint64_t bits = on[w]; bits; bits &= bits - 1) {
        const int note = w * 64 + __builtin_ctzll(bits);
        double* e = B.env + B.voices * STRIDE;
        bool audible;
        const int active = run_voice(I.envpos[note], I.velocity[note], I.fadecount[note],
                                     S.noteon[note] == 0, E, e, n, &audible);
        if (active > B.visited) B.visited = active;
        const int idx = tr + note;
        if (idx < 0 || idx >= NOTES) continue; // no pitch: silent
        if (!audible) continue;
        for (int s = n; s < np; ++s) e[s] = 0.0;
        B.hz[B.voices++] = hertz[idx];
    }

    B.noises = 0;
    double step[OSCILLATORS], ph[OSCILLATORS];
    const double bend = S.bend_factor(); // 1 at the centre: the steps as they are
    for (int k = 0; k < OSCILLATORS; ++k) {
        B.vol[k] = I.at(K_VOL, k);
        B.vib[k] = I.at(K_VIB, k);
        int w = int(I.at(K_WAV, k));
        step[k] = I.oscstep[k] * bend;
        if (!(B.vol[k] > 0.0) || w < 0 || w > 3) w = -1; // adds nothing
        if (w < 3 && step[k] == 0.0) w = -1; // a wave without a pitch is silent
        B.wav[k] = w;
        if (w == 3) B.noise[B.noises++] = k;
        ph[k] = I.phase[k];
    }
    // The time base advances every sample and is cleared after a sample with
    // no active voice; such a sample ends the sounding part of the block. The
    // ten oscillators advance side by side, two to a vector (each one's
    // additions in order); only the waves the kernels sum keep theirs.
    static_assert(OSCILLATORS % 2 == 0);
    typedef double v2 __attribute__((vector_size(16)));
    v2 p[OSCILLATORS / 2], st[OSCILLATORS / 2];
    for (int i = 0; i < OSCILLATORS / 2; ++i) {
        p[i] = v2{ph[2 * i], ph[2 * i + 1]};
        st[i] = v2{step[2 * i], step[2 * i + 1]};
    }
    // Which of each pair's time bases are kept: bit 0 the first, bit 1 the second.
    int keep[OSCILLATORS / 2];
    for (int i = 0; i < OSCILLATORS / 2; ++i) {
        keep[i] = 0;
        for (int h = 0; h < 2; ++h)
            if (B.wav[2 * i + h] >= 0 && B.wav[2 * i + h] < 3) keep[i] |= 1 << h;
    }
    for (int s = 0; s < B.visited; ++s)
        for (int i = 0; i < OSCILLATORS / 2; ++i) {
            p[i] = p[i] + st[i];
            if (keep[i] & 1) _mm_storel_pd(&B.ph[2 * i][s], p[i]);
            if (keep[i] & 2) _mm_storeh_pd(&B.ph[2 * i + 1][s], p[i]);
        }
    for (int k = 0; k < OSCILLATORS; ++k) {
        ph[k] = p[k / 2][k % 2];
        if (keep[k / 2] & (1 << (k % 2)))
            for (int s = B.visited; s < np; ++s) B.ph[k][s] = 0.0;
        I.phase[k] = B.visited == n ? ph[k] : 0.0;
    }
    for (int s = 0; s < np; ++s) B.out[s] = 0.0;
}

double vibrato_factor(const double* vibcos, const block& B, int k, int s) {
    return 1.0 - (0.5 + 0.5 * vibcos[s]) * B.vib[k];
}

// Per sample of the block: the sum of the voices' levels and how many of them
// are positive. Also clears the four rows of levels after the last voice.
void sum_levels(block& B) {
    const int np = padded(B.visited);
    for (int s = 0; s < np; ++s) B.levels[s] = B.audible[s] = 0.0;
    for (int v = 0; v < B.voices; ++v) {
        const double* e = B.env + v * STRIDE;
        for (int s = 0; s < np; ++s) {
            B.levels[s] += e[s];
            B.audible[s] += e[s] > 0.0 ? 1.0 : 0.0;
        }
    }
    for (int s = 0; s < 4 * STRIDE; ++s) B.env[B.voices * STRIDE + s] = 0.0;
}

// Noise of sample s: one draw per voice with a positive level and per noise
// oscillator, voice by voice. A draw v adds (v / 32767 * 2 - 1) * level * gain,
// taken here as v * level * (gain * 2 / 32767), less the sum of the levels
// times the sum of the gains.
void add_noise(render_scratch& R, uint32_t& rng, block& B, int s) {
    if (B.noises == 0 || s >= B.visited) return;
    const int M = B.noises;
    alignas(64) double gain[NOISE_GAINS] = {};
    double gains = 0.0;
    for (int j = 0; j < M; ++j) {
        const double g = B.vol[B.noise[j]] * vibrato_factor(R.vibcos, B, B.noise[j], s);
        gain[j] = g * (2.0 / 32767.0);
        gains += g;
    }
    const uint32_t state = rng;
    noise_block nb{B.env + s, STRIDE, B.voices, gain, M, state};
    alignas(64) double level[RENDERED_NOTES + 4];
    if (B.audible[s] != double(B.voices)) { // only the voices with a positive level draw
        int count = 0;
        for (int v = 0; v < B.voices; ++v) {
            const double e = B.env[v * STRIDE + s];
            level[count] = e;
            count += e > 0.0;
        }
        for (int v = count; v < count + 3; ++v) level[v] = 0.0;
        nb.env = level;
        nb.stride = 1;
        nb.voices = count;
    }
    if (nb.voices == 0) return;
    const double drawn = noise(nb);
    const int draws = nb.voices * M;
    rng = state * noise_jump.mul[draws] + noise_jump.add[draws];
    B.out[s] += drawn - gains * B.levels[s];
}

// The other waves, all voices at once.
void add_oscillators(const double* vibcos, block& B) {
    if (B.voices == 0 || B.visited == 0) return;
    const int np = padded(B.visited);
    for (int k = 0; k < OSCILLATORS; ++k) {
        if (B.wav[k] < 0 || B.wav[k] == 3) continue;
        kernel(B.wav[k], osc_block{B.ph[k], np, B.hz, B.env, STRIDE, B.voices, B.out, B.vol[k],
                                   B.vib[k], vibcos});
    }
}

} // namespace

namespace {

// to_sample of two sums, in the low two 32-bit lanes: x256, clipped to the
// 16-bit range (a sum that is not a number gives 0), truncated toward zero.
__m128i to_samples(__m128d sum) {
    const __m128d x = _mm_mul_pd(sum, _mm_set1_pd(256.0));
    const __m128d number = _mm_cmpord_pd(x, x);
    // max and min give their second operand where the first is not a number
    const __m128d c = _mm_min_pd(_mm_max_pd(x, _mm_set1_pd(-32768.0)), _mm_set1_pd(32767.0));
    return _mm_cvttpd_epi32(_mm_and_pd(c, number));
}

} // namespace

void mix_to_samples(const double* a, const double* b, int16_t* out, int n) {
    int s = 0;
    for (; s + 8 <= n; s += 8) { // (0 + a) + b and a + b differ only in the sign of a zero
        __m128i v[4];
        for (int i = 0; i < 4; ++i)
            v[i] = to_samples(_mm_add_pd(_mm_loadu_pd(a + s + 2 * i), _mm_loadu_pd(b + s + 2 * i)));
        const __m128i lo = _mm_unpacklo_epi64(v[0], v[1]), hi = _mm_unpacklo_epi64(v[2], v[3]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + s), _mm_packs_epi32(lo, hi));
    }
    for (; s < n; ++s) {
        double sum = 0.0;
        sum = sum + a[s];
        sum = sum + b[s];
        out[s] = to_sample(sum);
    }
}

double render_normal(synth_engine& engine, int n) {
    engine_state& S = reference_state(engine);
    S.take_changes();
    render_scratch& R = *S.scratch;
    block& B = R.blocks[0];
    R.vibcos[0] = portable_cos(S.oscvibrato);
    prepare(S, S.in(n), B, 1);
    if (B.noises) sum_levels(B);
    add_noise(R, S.rng, B, 0);
    add_oscillators(R.vibcos, B);
    return B.out[0];
}


namespace {

// No voice on among the rendered notes and no start posted.
bool silent(const instrument& I) {
    if (I.starts.any_pending()) return false;
    // (A hush waiting here finds no voice: it is taken with the next start.)
    uint64_t on[2];
    voices_on(I, on);
    return (on[0] | on[1]) == 0;
}

// Renders n <= BLOCK samples of both instruments into out.
void render_both(engine_state& S, int16_t* out, int n, double* vibrato_after) {
    const double vstep = CYCLE / (double(S.rate) / 5.0);
    render_scratch& R = *S.scratch;
    block& B1 = R.blocks[0];
    block& B2 = R.blocks[1];
    // Nothing sounds and nothing is about to: only the vibrato phase moves
    // (as below), and the time bases stand cleared.
    if (silent(S.i1) && silent(S.i2)) {
        double ov = S.oscvibrato;
        for (int s = 0; s < n; ++s) {
            ov = ov + vstep;
            if (ov >= CYCLE) ov = ov - CYCLE;
            vibrato_after[s] = ov;
            out[s] = 0;
        }
        for (instrument* in : {&S.i1, &S.i2})
            for (double& p : in->phase) p = 0.0;
        return;
    }
    // The vibrato phase of each sample, and its cosine.
    alignas(64) double angle[BLOCK];
    double ov = S.oscvibrato;
    for (int s = 0; s < n; ++s) {
        angle[s] = ov;
        ov = ov + vstep;
        if (ov >= CYCLE) ov = ov - CYCLE;
        vibrato_after[s] = ov;
    }
    for (int s = n; s < padded(n); ++s) angle[s] = 0.0;
    cosines(angle, R.vibcos, padded(n));
    prepare(S, S.i1, B1, n);
    prepare(S, S.i2, B2, n);
    if (B1.noises || B2.noises) {
        if (B1.noises) sum_levels(B1);
        if (B2.noises) sum_levels(B2);
        for (int s = 0; s < n; ++s) {
            add_noise(R, S.rng, B1, s);
            add_noise(R, S.rng, B2, s);
        }
    }
    add_oscillators(R.vibcos, B1);
    add_oscillators(R.vibcos, B2);
    mix_to_samples(B1.out, B2.out, out, n);
}

} // namespace

void render_samples(engine_state& S, int16_t* out, int n) {
    double vibrato_after[BLOCK];
    for (int done = 0; done < n;) {
        const int m = n - done < BLOCK ? n - done : BLOCK;
        render_both(S, out + done, m, vibrato_after);
        S.oscvibrato = vibrato_after[m - 1];
        done += m;
    }
}


const char* oscillator_code() { return kernel_name; }

bool select_oscillator_code(const char* name) {
    __builtin_cpu_init();
    for (const oscillator_code_build& b : builds)
        if (std::strcmp(name, b.name) == 0 && b.runs_here()) {
            use(b);
            return true;
        }
    return false;
}
