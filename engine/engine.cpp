#include "engine/engine.h"
#include "engine/cosine.h"
#include "engine/engine_state.h"
#include "engine/exact_pow.h"
#include "engine/reference.h"
#include "engine/osc_kernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>
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


bool change_queue::push(const param_change* changes, int n) noexcept {
    const uint32_t tail = tail_.load(std::memory_order_relaxed);
    const uint32_t head = head_.load(std::memory_order_acquire);
    if (n < 0 || tail - head + uint32_t(n) > SIZE) return false;
    for (int k = 0; k < n; ++k) ring_[(tail + uint32_t(k)) % SIZE] = changes[k];
    tail_.store(tail + uint32_t(n), std::memory_order_release);
    return true;
}

void instrument_defaults(engine_state& s, int n) {
    instrument& in = s.in(n);
    for (int k = 0; k < OSCILLATORS; ++k) in.phase[k] = 0.0;
    for (int id = param_id(n, 0); id < param_id(n, 0) + INSTRUMENT_PARAMS; ++id) {
        const param_ref r = param_at(id);
        s.value[id] = engine_value(r.kind, param_start(id));
        s.told[id] = s.value[id];
    }
    for (int note = 0; note < NOTES; ++note) {
        in.envpos[note] = 0;
        in.velocity[note] = 0;
        in.fadecount[note] = 0;
    }
    in.starts.clear();
    in.hush = false;
    compute_oscsteps(in);
}

void engine_state::store(const param_change& c, bool pitch_moved[2]) {
    const param_ref r = param_at(c.param);
    value[c.param] = param_kinds[r.kind].integer ? std::trunc(c.value) : c.value;
    if (r.kind == K_FRQ) pitch_moved[r.instrument - 1] = true;
}

void engine_state::steps_after(const bool pitch_moved[2]) {
    for (int n = 1; n <= 2; ++n)
        if (pitch_moved[n - 1]) compute_oscsteps(in(n));
}

void engine_state::take_changes() {
    bool pitch_moved[2] = {false, false};
    changes.take([&](const param_change& c) { store(c, pitch_moved); });
    // The queue was full: every value as last set, unless a batch is being
    // written (or was, while they were read): then at the next block.
    if (resync.load(std::memory_order_relaxed) && resync.exchange(false, std::memory_order_acquire)) {
        double all[PARAM_COUNT];
        const uint32_t count = told_count.load(std::memory_order_acquire);
        for (int id = 0; id < PARAM_COUNT; ++id) all[id] = told[id];
        std::atomic_thread_fence(std::memory_order_acquire);
        if ((count & 1) == 0 && told_count.load(std::memory_order_relaxed) == count)
            for (int id = 0; id < PARAM_COUNT; ++id) store({id, all[id]}, pitch_moved);
        else
            resync.store(true, std::memory_order_relaxed);
    }
    steps_after(pitch_moved);
}

synth_engine::synth_engine(float r) : state_(new engine_state()) {
    static_assert(std::atomic<std::thread::id>::is_always_lock_free);
    engine_state& s = *state_;
    s.scratch = new_render_scratch();
    s.i1.values = s.value + param_id(1, 0);
    s.i2.values = s.value + param_id(2, 0);
    s.rate = s.i1.rate = s.i2.rate = r;
    reset();
}

synth_engine::~synth_engine() {
    delete_render_scratch(state_->scratch);
    delete state_;
}

engine_state& reference_state(synth_engine& engine) { return *engine.state_; }

namespace {

void render_out(engine_state& s, int16_t* out, int n) { render_samples(s, out, n); }

void render_out(engine_state& s, float* out, int n) {
    int16_t samples[64];
    for (int done = 0; done < n;) {
        const int m = n - done < 64 ? n - done : 64;
        render_samples(s, samples, m);
        for (int k = 0; k < m; ++k) out[done + k] = float(samples[k]) / 32768.0f;
        done += m;
    }
}

template <class Sample>
void render_block(engine_state& s, Sample* out, int n, std::span<const block_event> events) {
    int done = 0;
    for (const block_event& ev : events) {
        const int at = ev.frame < uint32_t(n) ? std::max(int(ev.frame), done) : n;
        if (at > done) render_out(s, out + done, at - done);
        done = at;
        s.midi(ev.message);
    }
    if (n > done) render_out(s, out + done, n - done);
}

// The rendering thread: this one from now on; what other threads queued
// acts first.
void enter(engine_state& s) {
    const std::thread::id me = std::this_thread::get_id();
    if (s.renderer.load(std::memory_order_relaxed) != me) s.renderer.store(me, std::memory_order_release);
    s.take_changes();
}

// Whether a change from the calling thread acts at once: on the thread that
// renders. Before any thread has, a change waits for the first block too.
bool at_once(const engine_state& s) {
    return s.renderer.load(std::memory_order_acquire) == std::this_thread::get_id();
}

// A batch of changes in engine units: at once on the rendering thread (after
// what other threads queued before it), else queued whole; a batch that finds
// the queue full is taken from `told` instead. Never waits for the audio
// thread.
void change(engine_state& s, const param_change* c, int n) {
    if (at_once(s)) {
        for (int k = 0; k < n; ++k) s.told[c[k].param] = c[k].value;
        s.take_changes();
        bool pitch_moved[2] = {false, false};
        for (int k = 0; k < n; ++k) s.store(c[k], pitch_moved);
        s.steps_after(pitch_moved);
        return;
    }
    while (s.producing.exchange(true, std::memory_order_acquire)) std::this_thread::yield();
    const uint32_t count = s.told_count.load(std::memory_order_relaxed);
    s.told_count.store(count + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    for (int k = 0; k < n; ++k) s.told[c[k].param] = c[k].value;
    s.told_count.store(count + 2, std::memory_order_release);
    if (!s.changes.push(c, n)) s.resync.store(true, std::memory_order_release);
    s.producing.store(false, std::memory_order_release);
}

} // namespace

bool synth_engine::render(float* out, int n, std::span<const block_event> events) {
    enter(*state_);
    render_block(*state_, out, n, events);
    return state_->sounding();
}

bool synth_engine::render(int16_t* out, int n, std::span<const block_event> events) {
    enter(*state_);
    render_block(*state_, out, n, events);
    return state_->sounding();
}

int render_while_sounding(synth_engine& engine, int16_t* out, int n) {
    if (n <= 0 || !engine.render(out, 0)) return 0;
    int done = 0;
    while (done < n)
        if (!engine.render(out + done++, 1)) break;
    return done;
}

double engine_state::bend_factor() const {
    const double controllers = setting(K_CONTROLLERS), bend_range = setting(K_BEND_RANGE);
    const int b = bend;
    if (b == 8192 || !controllers) return 1.0;
    if (b != bend_memo.wheel || bend_range != bend_memo.range)
        bend_memo = {b, bend_range, exact_exp2(double(b - 8192) / 8192.0 * double(bend_range) / 12.0)};
    return bend_memo.factor;
}

void synth_engine::set_rate(float r) {
    engine_state& s = *state_;
    s.rate = s.i1.rate = s.i2.rate = r;
    compute_oscsteps(s.i1);
    compute_oscsteps(s.i2);
}

float synth_engine::rate() const { return state_->rate; }

void synth_engine::set_timeline_frame(int64_t frame) {
    // The renderer adds this step every sample and takes a cycle off when the
    // phase reaches one. Here: frame * step, the product exactly (the error
    // of the rounded product kept apart), less its whole cycles.
    const double step = CYCLE / (double(state_->rate) / 5.0);
    const double f = double(frame < 0 ? 0 : frame);
    const double product = f * step;
    const double error = product_error(f, step);
    double phase = std::fmod(product, CYCLE) + error;
    if (phase < 0.0) phase += CYCLE;
    if (phase >= CYCLE) phase -= CYCLE;
    state_->oscvibrato = phase;
}

void synth_engine::reset() {
    engine_state& s = *state_;
    s.changes.clear();
    s.resync.store(false, std::memory_order_relaxed);
    s.renderer.store(std::thread::id(), std::memory_order_release);
    instrument_defaults(s, 1);
    instrument_defaults(s, 2);
    for (int& k : s.noteon) k = 0;
    for (bool& b : s.sustained) b = false;
    s.bend = 8192;
    s.pedal = false;
    for (int kind = INSTRUMENT_KINDS; kind < KINDS; ++kind) {
        const int id = param_id(0, kind);
        s.value[id] = param_start(id);
        s.told[id] = s.value[id];
    }
    s.oscvibrato = 0.0;
    s.rng = 1;
}

void synth_engine::set(int id, double value) {
    if (id < 0 || id >= PARAM_COUNT) return;
    const int kind = param_at(id).kind;
    const param_change c{id, engine_value(kind, clamp_param(kind, value))};
    change(*state_, &c, 1);
}

void synth_engine::set(std::span<const param_change> changes) {
    // The last value of each parameter, in engine units: a batch of any
    // length fits the queue.
    param_change batch[PARAM_COUNT];
    int where[PARAM_COUNT];
    int n = 0;
    for (int& w : where) w = -1;
    for (const param_change& c : changes) {
        if (c.param < 0 || c.param >= PARAM_COUNT) continue;
        const int kind = param_at(c.param).kind;
        const param_change v{c.param, engine_value(kind, clamp_param(kind, c.value))};
        if (where[c.param] < 0) where[c.param] = n++;
        batch[where[c.param]] = v;
    }
    change(*state_, batch, n);
}

void synth_engine::load(int n, const instrument_record& r) {
    if (n != 1 && n != 2) return;
    param_change batch[INSTRUMENT_PARAMS];
    for (int i = 0; i < INSTRUMENT_PARAMS; ++i) {
        const param_ref p = param_at(i);
        batch[i] = {param_id(n, p.kind, p.oscillator), record_engine_value(p.kind, r.at(p.kind, p.oscillator))};
    }
    change(*state_, batch, INSTRUMENT_PARAMS);
}

double synth_engine::get(int id) const {
    if (id < 0 || id >= PARAM_COUNT) return 0.0;
    return table_value(param_at(id).kind, state_->told[id]);
}

instrument_record synth_engine::record(int n) const {
    instrument_record r{};
    if (n != 1 && n != 2) return r;
    for (int i = 0; i < INSTRUMENT_PARAMS; ++i) {
        const param_ref p = param_at(i);
        r.at(p.kind, p.oscillator) = record_word(p.kind, state_->told[param_id(n, p.kind, p.oscillator)]);
    }
    return r;
}

bool engine_state::sounding() const {
    for (const instrument* in : {&i1, &i2}) {
        if (in->starts.any_pending()) return true;
        if (in->hush.load(std::memory_order_relaxed)) continue;
        for (int note = 0; note < RENDERED_NOTES; ++note)
            if (in->velocity[note] != 0) return true;
    }
    return false;
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
