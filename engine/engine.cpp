#include "engine/engine.h"
#include "engine/osc_kernels.h"

#include <cmath>
#include <cstring>
#include <utility>

instrument i1, i2;
double hertz[NOTES];
shared<int> noteon[NOTES];
shared<int> transpose{0};
shared<int> multimode{0};
shared<int> splitkey{50};
shared<int> fade1{50};
shared<int> fade2{90};
const float outhertz = 44100.0f;
const int streamsamples = 2048;
double oscvibrato = 0.0;

namespace {

uint32_t rng = 1;

// Lengths are capped so that A + D + R and the envelope position stay within an int.
constexpr int MAX_LENGTH = 0x7FFFFFFF / 3 - 1;

} // namespace

int usable_length(int len) {
    return len < 1 ? 1 : (len > MAX_LENGTH ? MAX_LENGTH : len);
}

// Angles too large for a 32-bit quotient are folded with an exact remainder
// instead of overflowing.
double cycle_remainder(double x) {
    double q = x / CYCLE;
    if (std::fabs(q) < 2147483648.0) return x - double(int32_t(q)) * CYCLE;
    return std::fmod(x, CYCLE);
}

void note_starts::post(int note, int level, int fadelen) noexcept {
    uint64_t word = (uint64_t(uint32_t(fadelen)) << 32) | PRESENT | uint64_t(level & 0xFF);
    slot_[note].store(word, std::memory_order_relaxed);
    pending_[note >> 6].fetch_or(uint64_t(1) << (note & 63), std::memory_order_release);
}

void note_starts::clear() noexcept {
    for (auto& s : slot_) s.store(0, std::memory_order_relaxed);
    for (auto& p : pending_) p.store(0, std::memory_order_relaxed);
}

void instrument_defaults(instrument& in, int envelope_length) {
    for (int k = 0; k < OSCILLATORS; ++k) {
        in.phase[k] = 0.0;
        in.frq[k] = 0;
        in.vol[k] = k == 0 ? 1.0 : 0.0;
        in.oscstep[k] = 0.0;
        in.wav[k] = 0;
        in.vib[k] = 0.0;
    }
    in.attacklen = envelope_length;
    in.attack = 1.0;
    in.decaylen = envelope_length;
    in.decay = 1.0;
    in.releaselen = envelope_length;
    for (int n = 0; n < NOTES; ++n) {
        in.envpos[n] = 0;
        in.velocity[n] = 0;
        in.fadecount[n] = 0;
    }
    in.fadelen = -1;
    in.starts.clear();
}

void compute_oscsteps(instrument& in) {
    for (int k = 0; k < OSCILLATORS; ++k) {
        double step = CYCLE / (double(outhertz) / spechertz(in.frq[k]));
        // An offset no slider can set (only a file can) must not drive the
        // time base to infinity: such an oscillator stands still.
        if (!std::isfinite(step) || step > 1e6) step = 0.0;
        in.oscstep[k] = step;
    }
}

void engine_init() {
    instrument_defaults(i1, 100);
    instrument_defaults(i2, 1);
    compute_oscsteps(i1);
    compute_oscsteps(i2);
    for (int n = 0; n < NOTES; ++n) hertz[n] = realhertz(n);
    for (auto& k : noteon) k = 0;
    transpose = 0;
    multimode = 0;
    splitkey = 50;
    fade1 = 50;
    fade2 = 90;
    oscvibrato = 0.0;
    rng = 1;
}

double spechertz(int semitones) {
    double r = std::pow(2.0, 1.0 / 12.0);
    return std::pow(r, double(semitones));
}

double realhertz(int note) {
    double r = std::pow(2.0, 1.0 / 12.0);
    return 440.0 * std::pow(r, double(note - 57));
}

double sinwave(double x) { return std::cos(x); }

double sqrwave(double x) { return cycle_remainder(x) < HALF_CYCLE ? 1.0 : 0.0; }

double sawwave(double x) { return ((cycle_remainder(x) / 2.0) / CYCLE) * 2.0 - 1.0; }

namespace {

constexpr uint32_t NOISE_MUL = 214013u, NOISE_ADD = 2531011u;

double noise_value(uint32_t state) { return (int((state >> 16) & 0x7FFF) / 32767.0) * 2.0 - 1.0; }

constexpr noise_steps jumps() {
    noise_steps j{};
    uint32_t mul = 1, add = 0;
    for (int k = 0; k < NOISE_JUMPS; ++k) {
        j.mul[k] = mul;
        j.add[k] = add;
        mul = mul * NOISE_MUL;
        add = add * NOISE_MUL + NOISE_ADD;
    }
    return j;
}

} // namespace

constinit const noise_steps noise_jump = jumps();

double rndwave(double) {
    rng = rng * NOISE_MUL + NOISE_ADD;
    return noise_value(rng);
}

uint32_t noise_state() { return rng; }
void set_noise_state(uint32_t s) { rng = s; }

double vibrato(double depth) { return 1.0 - (0.5 + 0.5 * std::cos(oscvibrato)) * depth; }

int16_t to_sample(double sum) {
    double s = sum * 256.0;
    if (!(s == s)) return 0;
    if (s >= 32767.0) return 32767;
    if (s <= -32768.0) return -32768;
    return int16_t(s);
}
