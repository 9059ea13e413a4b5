// The synthesis engine: the instrument record, the engine object with its
// door for a block and its MIDI messages, pitch and wave functions.
//
// Threads: the GUI thread writes parameter fields and settings, MIDI messages
// reach `midi` (routing in engine/notes.cpp), the audio thread renders. Fields that
// cross threads are `shared<>` (relaxed atomics). The per-note voice state
// (`envpos`, `velocity`, `fadecount`) and `phase` belong to the audio thread
// alone: a note-on reaches it through the instrument's `starts` mailbox.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>

#include "engine/params.h"
#include "engine/shared.h"

constexpr int OSCILLATORS = 10;
constexpr int NOTES = 150;          // per-note array size
constexpr int RENDERED_NOTES = 100; // the renderer visits notes 0..99
constexpr int MIDI_NOTES = 128;     // notes a message can name
constexpr double CYCLE = 6.282;     // one oscillator cycle, in this engine's radians
constexpr double HALF_CYCLE = 3.141;

// Note starts travelling from the MIDI door to the renderer.
//
// A note-on posts (level, fade length) for a note as one 64-bit word and sets the
// note's bit in `pending`; the renderer, before each sample, takes every posted
// start and applies it to the voice. Only the audio thread ever writes voice
// state, so a start can neither be torn nor undone by a voice ending in the
// same sample. A second start posted before the first is taken replaces it,
// which is what playing both in one sample would have sounded like.
class note_starts {
public:
    void post(int note, int level, int fadelen) noexcept;

    // Calls apply(note, level, fadelen) for every posted start, lowest note first.
    template <class F>
    void take(F&& apply) noexcept {
        for (int w = 0; w < 2; ++w) {
            if (pending_[w].load(std::memory_order_relaxed) == 0) continue;
            uint64_t bits = pending_[w].exchange(0, std::memory_order_acquire);
            while (bits) {
                int note = w * 64 + __builtin_ctzll(bits);
                bits &= bits - 1;
                uint64_t word = slot_[note].exchange(0, std::memory_order_acquire);
                if (word & PRESENT)
                    apply(note, int(word & 0xFF), int32_t(uint32_t(word >> 32)));
            }
        }
    }

    bool any_pending() const noexcept {
        return (pending_[0].load(std::memory_order_relaxed) |
                pending_[1].load(std::memory_order_relaxed)) != 0;
    }
    void clear() noexcept;

private:
    static constexpr uint64_t PRESENT = 0x100;
    std::atomic<uint64_t> slot_[MIDI_NOTES] = {};
    std::atomic<uint64_t> pending_[2] = {};
};

struct instrument {
    // Every parameter's value by kind (engine/params.h), in the engine's
    // units (a fade length of -1 is off): an oscillator kind has one value per
    // oscillator, an envelope kind one, at oscillator 0. Whole numbers for the
    // integer kinds.
    shared<double> value[INSTRUMENT_KINDS][OSCILLATORS];
    shared<double>& at(int kind, int oscillator = 0) { return value[kind][oscillator]; }
    double at(int kind, int oscillator = 0) const { return value[kind][oscillator]; }

    double phase[OSCILLATORS];          // time base per oscillator (audio thread)
    shared<double> oscstep[OSCILLATORS];// phase increment per sample, from the pitch offset
    int envpos[NOTES];                  // per note: samples since start, -1 ended
    int velocity[NOTES];                // per note: level, 0 = voice off
    int fadecount[NOTES];               // per note: fade countdown, negative = no fade
    note_starts starts;                 // note-ons waiting for the renderer
    std::atomic<bool> hush{false};      // all sound off: every voice stops before the next start
    float rate = 44100.0f;              // output samples per second, for the phase steps and lengths
};

// Lengths (attack, decay, release, fade) are stored in samples at this rate,
// whatever rate the engine plays at.
constexpr int LENGTH_RATE = 44100;
// A stored length as the engine counts it at `rate`: L >= 1 becomes
// max(1, lround(L * rate / 44100)) (capped to what an int holds); values
// below 1 (a fade that is off) stay as they are.
int length_at_rate(int len, float rate);

// A MIDI short message (engine/midi_message.h) at a frame of a block.
struct block_event {
    uint32_t frame;
    unsigned long message;
};

// Hands a block and its MIDI messages to an engine's door as the messages
// come in, without allocating: they gather in a batch of fixed size, and a
// full batch, or a flush, renders up to the frame given. Frames count from
// the block's start; a message before the previous one's frame acts at that
// frame. With no output, the messages act and nothing is rendered.
template <class Sample, int N = 256>
class block_writer;

struct render_scratch; // the renderer's working space (render.cpp)
render_scratch* new_render_scratch();
void delete_render_scratch(render_scratch* s);

// One synthesizer: both instruments with their voices and note-start
// mailboxes, the key state, the layering settings, the vibrato phase and the
// noise generator. Instances are independent; they share only the note
// frequency table and the oscillator code chosen for the processor, both
// fixed before any renders. Each instance renders on one thread at a time;
// note messages and parameter changes may come from other threads (see the
// top of this file).
class synth_engine {
public:
    // An engine for `rate` output samples per second: the live program's is
    // the JACK server's or --rate's, the plugin's the host's. Stored lengths
    // count samples at LENGTH_RATE whatever the rate.
    explicit synth_engine(float rate = 44100.0f);
    // Plays at another rate from now on: pitch, lengths and the vibrato follow
    // it. Not while another thread renders.
    void set_rate(float rate);
    // The vibrato phase becomes the one a stream started at frame 0 has at
    // `frame` (the host's timeline). Only the vibrato: each instrument's time
    // base and the noise generator still follow the notes this engine has
    // rendered, so a render from a later point equals that part of a render
    // from the start only where both start from silence.
    void set_timeline_frame(int64_t frame);
    ~synth_engine();
    synth_engine(const synth_engine&) = delete;
    synth_engine& operator=(const synth_engine&) = delete;

    // Everything back to the start-up state.
    void reset();

    // Renders n >= 1 samples. For the same messages between the same samples
    // the samples do not depend on how a span is cut into calls. The float
    // form gives sample / 32768.
    void render(int16_t* out, int n);
    void render(float* out, int n);
    // Renders up to n samples, but stops after the first sample after which
    // no voice of either instrument is active. Returns the number rendered;
    // 0 when none was active.
    int render_until_silent(int16_t* out, int n);

    // The door for a block and its events: renders n frames with the MIDI
    // messages that fall inside them, each taking effect from its own frame
    // on. Events come in order of frame; one whose frame lies before the
    // previous one's acts at that one's frame, one at or past n after the
    // block's last frame.
    void render(float* out, int n, std::span<const block_event> events);
    void render(int16_t* out, int n, std::span<const block_event> events);

    // A MIDI short message, packed (engine/midi_message.h), acting now.
    void midi(unsigned long message);

    // A parameter by number (engine/params.h), in the units of its kind:
    // clamped to its range (see clamp_param). A pitch offset also recomputes
    // its instrument's phase steps. Never allocates, locks or blocks.
    void set(int param, double value);
    double get(int param) const;
    // The value of a panel slider's position, written as it converts,
    // without clamping.
    void set_from_slider(int param, int position);

    instrument i1, i2;
    shared<int> noteon[NOTES];          // velocity byte of the last note-on, 0 = key up
    shared<int> transpose{0};
    shared<int> multimode{0};
    shared<int> splitkey{50};
    shared<int> fade1{50};
    shared<int> fade2{90};
    shared<int> channel{1};             // 1..16 that channel alone, 0 every channel
    shared<int> bend_range{2};          // semitones at full pitch bend
    shared<int> controllers{1};         // 1: pedal, bend and panic messages count; 0: notes alone
    shared<int> bend{8192};             // the pitch wheel, 0..16383, 8192 the centre
    shared<bool> pedal{false};          // the sustain pedal is down
    shared<bool> sustained[MIDI_NOTES]; // released keys the pedal holds
    // The factor on every pitch: 1 at the centre of the wheel (or with
    // controllers off), else 2^((bend - 8192) / 8192 * bend_range / 12).
    double bend_factor() const;
    double oscvibrato = 0.0;            // audio thread only
    uint32_t rng = 1;                   // the noise generator, audio thread only
    float rate;                         // output samples per second (set_rate)

    render_scratch& scratch() { return *scratch_; }

private:
    void store(int param, double engine_value);
    render_scratch* scratch_;
};

extern const double (&hertz)[NOTES];    // note frequencies, filled before main
extern const float outhertz;
// The start-up values of instrument 1 or 2 (n), with its phase steps and no voice.
void instrument_defaults(instrument& in, int n);
void compute_oscsteps(instrument& in);
// An instrument's value by kind (engine/params.h) and oscillator, as the
// engine holds it (a fade length of -1 is -1); written truncated to a whole
// number for the integer kinds.
double instrument_value(const instrument& in, int kind, int oscillator);
void set_instrument_value(instrument& in, int kind, int oscillator, double value);

// Pitch and waves.
double spechertz(int semitones);
double realhertz(int note);
double sinwave(double x);
double sqrwave(double x);
double sawwave(double x);
// The next value of the noise generator whose state is `rng`.
double rndwave(uint32_t& rng);
// The 5 Hz modulation's factor at its phase, for an oscillator of this depth.
double vibrato(double phase, double depth);

// Envelope lengths as the renderer takes them: below 1 counts as 1, and the
// length is capped so that A + D + R and the envelope position fit an int.
int usable_length(int len);

// x less its whole cycles of 6.282, the quotient truncated toward zero (the
// square and sawtooth waves take their position in the cycle from it).
double cycle_remainder(double x);

// One sample of one instrument (i1 or i2) of an engine.
double render_normal(synth_engine& engine, instrument* in);

// The oscillator code in use: "avx512", "avx2" or "sse2", chosen at start for
// the processor. select_oscillator_code switches to another one that the
// processor can run (for tests and benchmarks; not while audio runs).
const char* oscillator_code();
bool select_oscillator_code(const char* name);

// A sum of both instruments as a 16-bit sample: x256, truncated toward zero,
// clipped to the 16-bit range; a non-finite sum is silence.
int16_t to_sample(double sum);
// out[i] = to_sample(0 + a[i] + b[i]) for i < n, eight at a time.
void mix_to_samples(const double* a, const double* b, int16_t* out, int n);

template <class Sample, int N>
class block_writer {
public:
    block_writer(synth_engine& engine, Sample* out) : engine_(engine), out_(out) {}

    void add(uint32_t frame, unsigned long message) {
        if (frame < from_) frame = from_;
        if (count_ == N) flush(frame);
        batch_[count_++] = {frame - from_, message};
    }
    // Renders up to `frame` with the messages gathered (a frame before the
    // last flush's counts as that one).
    void flush(uint32_t frame) {
        if (frame < from_) frame = from_;
        if (out_) engine_.render(out_ + from_, int(frame - from_), std::span(batch_, size_t(count_)));
        else for (int k = 0; k < count_; ++k) engine_.midi(batch_[k].message);
        from_ = frame;
        count_ = 0;
    }

private:
    synth_engine& engine_;
    Sample* out_;
    uint32_t from_ = 0;
    int count_ = 0;
    block_event batch_[N];
};
