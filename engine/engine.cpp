#include "engine/engine.h"
#include "engine/cosine.h"
#include "engine/exact_pow.h"
#include "engine/osc_kernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <utility>

const float outhertz = 44100.0f;

namespace {

struct note_table {
    double hz[NOTES];
    note_table() {
        for (int n = 0; n < NOTES; ++n) hz[n] = realhertz(n);
    }
};
const note_table notes;

// Lengths are capped so that A + D + R and the envelope position stay within an int.
constexpr int MAX_LENGTH = 0x7FFFFFFF / 3 - 1;

} // namespace

int length_at_rate(int len, float rate) {
    if (len < 1 || rate == float(LENGTH_RATE)) return len;
    const double scaled = std::round(double(len) * double(rate) / double(LENGTH_RATE));
    if (scaled >= 2147483647.0) return 0x7FFFFFFF;
    return scaled < 1.0 ? 1 : int(scaled);
}

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

const double (&hertz)[NOTES] = notes.hz;


namespace {

shared<int>* global_field(synth_engine& e, int kind) {
    switch (kind) {
    case K_MODE: return &e.multimode;
    case K_SPLITKEY: return &e.splitkey;
    case K_FADE1: return &e.fade1;
    case K_FADE2: return &e.fade2;
    case K_TRANSPOSE: return &e.transpose;
    case K_CHANNEL: return &e.channel;
    case K_BEND_RANGE: return &e.bend_range;
    case K_CONTROLLERS: return &e.controllers;
    default: return nullptr;
    }
}

} // namespace

double instrument_value(const instrument& in, int kind, int k) { return in.at(kind, k); }

void set_instrument_value(instrument& in, int kind, int k, double v) {
    in.at(kind, k) = param_kinds[kind].integer ? std::trunc(v) : v;
}

void instrument_defaults(instrument& in, int n) {
    for (int k = 0; k < OSCILLATORS; ++k) in.phase[k] = 0.0;
    for (int id = param_id(n, 0); id < param_id(n, 0) + INSTRUMENT_PARAMS; ++id) {
        const param_ref r = param_at(id);
        set_instrument_value(in, r.kind, r.oscillator, engine_value(r.kind, param_start(id)));
    }
    for (int n = 0; n < NOTES; ++n) {
        in.envpos[n] = 0;
        in.velocity[n] = 0;
        in.fadecount[n] = 0;
    }
    in.starts.clear();
    in.hush = false;
    compute_oscsteps(in);
}

synth_engine::synth_engine(float r) : rate(r), scratch_(new_render_scratch()) {
    i1.rate = i2.rate = rate;
    reset();
}
synth_engine::~synth_engine() { delete_render_scratch(scratch_); }

namespace {

template <class Sample>
void render_block(synth_engine& e, Sample* out, int n, std::span<const block_event> events) {
    int done = 0;
    for (const block_event& ev : events) {
        const int at = ev.frame < uint32_t(n) ? std::max(int(ev.frame), done) : n;
        if (at > done) e.render(out + done, at - done);
        done = at;
        e.midi(ev.message);
    }
    if (n > done) e.render(out + done, n - done);
}

} // namespace

void synth_engine::render(float* out, int n, std::span<const block_event> events) {
    render_block(*this, out, n, events);
}

void synth_engine::render(int16_t* out, int n, std::span<const block_event> events) {
    render_block(*this, out, n, events);
}

double synth_engine::bend_factor() const {
    const int b = bend;
    if (b == 8192 || !controllers) return 1.0;
    return exact_exp2(double(b - 8192) / 8192.0 * double(bend_range) / 12.0);
}

void synth_engine::set_rate(float r) {
    rate = i1.rate = i2.rate = r;
    compute_oscsteps(i1);
    compute_oscsteps(i2);
}

void synth_engine::set_timeline_frame(int64_t frame) {
    // The renderer adds this step every sample and takes a cycle off when the
    // phase reaches one. Here: frame * step, the product exactly (the error
    // of the rounded product kept apart), less its whole cycles.
    const double step = CYCLE / (double(rate) / 5.0);
    const double f = double(frame < 0 ? 0 : frame);
    const double product = f * step;
    const double error = product_error(f, step);
    double phase = std::fmod(product, CYCLE) + error;
    if (phase < 0.0) phase += CYCLE;
    if (phase >= CYCLE) phase -= CYCLE;
    oscvibrato = phase;
}

void synth_engine::reset() {
    instrument_defaults(i1, 1);
    instrument_defaults(i2, 2);
    for (auto& k : noteon) k = 0;
    for (auto& s : sustained) s = false;
    bend = 8192;
    pedal = false;
    for (int kind = OSCILLATOR_KINDS + ENVELOPE_KINDS; kind < KINDS; ++kind)
        *global_field(*this, kind) = int(param_kinds[kind].start[0]);
    oscvibrato = 0.0;
    rng = 1;
}

void synth_engine::store(int id, double v) {
    const param_ref r = param_at(id);
    if (r.instrument == 0) {
        *global_field(*this, r.kind) = int(v);
        return;
    }
    instrument& in = r.instrument == 1 ? i1 : i2;
    set_instrument_value(in, r.kind, r.oscillator, v);
    if (r.kind == K_FRQ) compute_oscsteps(in);
}

void synth_engine::set(int id, double value) {
    if (id < 0 || id >= PARAM_COUNT) return;
    const int kind = param_at(id).kind;
    store(id, engine_value(kind, clamp_param(kind, value)));
}

void synth_engine::set_from_slider(int id, int position) {
    if (id < 0 || id >= PARAM_COUNT) return;
    const int kind = param_at(id).kind;
    store(id, engine_value(kind, slider_value(kind, position)));
}

double synth_engine::get(int id) const {
    if (id < 0 || id >= PARAM_COUNT) return 0.0;
    const param_ref r = param_at(id);
    if (r.instrument == 0) return *global_field(const_cast<synth_engine&>(*this), r.kind);
    return table_value(r.kind, instrument_value(r.instrument == 1 ? i1 : i2, r.kind, r.oscillator));
}

void compute_oscsteps(instrument& in) {
    for (int k = 0; k < OSCILLATORS; ++k) {
        double step = CYCLE / (double(in.rate) / spechertz(int(in.at(K_FRQ, k))));
        // An offset no slider can set (only a file can) must not drive the
        // time base to infinity: such an oscillator stands still.
        if (!std::isfinite(step) || step > 1e6) step = 0.0;
        in.oscstep[k] = step;
    }
}


double spechertz(int semitones) { return semitone_power(semitones); }

double realhertz(int note) { return 440.0 * semitone_power(note - 57); }

double sinwave(double x) { return portable_cos(x); }

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

double rndwave(uint32_t& rng) {
    rng = rng * NOISE_MUL + NOISE_ADD;
    return noise_value(rng);
}

double vibrato(double phase, double depth) { return 1.0 - (0.5 + 0.5 * portable_cos(phase)) * depth; }

int16_t to_sample(double sum) {
    double s = sum * 256.0;
    if (!(s == s)) return 0;
    if (s >= 32767.0) return 32767;
    if (s <= -32768.0) return -32768;
    return int16_t(s);
}
