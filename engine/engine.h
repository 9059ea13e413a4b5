// The synthesis engine: one object with one door.
//
// Everything reaches the engine through it: a block to render with the MIDI
// messages inside it (`render`), a parameter by number (`set`), a batch of
// parameters or a whole instrument file's record in one call (`set`,
// `load`). Its state (both instruments' values and voices, the shared
// settings, the key state, the vibrato phase and the noise generator) is its
// own (engine/engine_state.h, for the engine's own code and the reference
// renderer of the tests).
//
// Threads: one thread renders at a time (the audio thread). A change made on
// the thread that renders acts at once; a change made on another thread (the
// panel, a file load), or before any thread has rendered, goes into a
// lock-free queue that the rendering thread applies whole at the start of the
// next block it renders, so that a block never hears half of a change.
// Nothing in `render` allocates, locks or waits.
#pragma once

#include <cstdint>
#include <span>

#include "engine/params.h"
#include "engine/record.h"

constexpr int OSCILLATORS = 10;
constexpr int NOTES = 150;          // per-note array size
constexpr int RENDERED_NOTES = 100; // the renderer visits notes 0..99
constexpr int MIDI_NOTES = 128;     // notes a message can name
constexpr double CYCLE = 6.282;     // one oscillator cycle, in this engine's radians
constexpr double HALF_CYCLE = 3.141;

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

// A parameter by number (engine/params.h) and its value in its kind's units.
struct param_change {
    int param;
    double value;
};

// Hands a block and its MIDI messages to an engine's door as the messages
// come in, without allocating: they gather in a batch of fixed size, and a
// full batch, or a flush, renders up to the frame given. Frames count from
// the block's start; a message before the previous one's frame acts at that
// frame. With no output, the messages act and nothing is rendered.
template <class Sample, int N = 256>
class block_writer;

struct engine_state; // the engine's state (engine/engine_state.h)

// One synthesizer: both instruments with their voices, the key state, the
// layering settings, the vibrato phase and the noise generator. Instances are
// independent; they share only the note frequency table and the oscillator
// code chosen for the processor, both fixed before any renders.
class synth_engine {
public:
    // An engine for `rate` output samples per second: the live program's is
    // the JACK server's or --rate's, the plugin's the host's. Stored lengths
    // count samples at LENGTH_RATE whatever the rate.
    explicit synth_engine(float rate = 44100.0f);
    ~synth_engine();
    synth_engine(const synth_engine&) = delete;
    synth_engine& operator=(const synth_engine&) = delete;

    // Plays at another rate from now on: pitch, lengths and the vibrato follow
    // it. Not while another thread renders.
    void set_rate(float rate);
    float rate() const;
    // The vibrato phase becomes the one a stream started at frame 0 has at
    // `frame` (the host's timeline). Only the vibrato: each instrument's time
    // base and the noise generator still follow the notes this engine has
    // rendered, so a render from a later point equals that part of a render
    // from the start only where both start from silence. Not while another
    // thread renders.
    void set_timeline_frame(int64_t frame);
    // Everything back to the start-up state, with no change waiting. Not
    // while another thread renders.
    void reset();

    // The door for a block and its events: renders n >= 0 frames with the
    // MIDI messages that fall inside them, each taking effect from its own
    // frame on, after the changes other threads made since the last block.
    // Events come in order of frame; one whose frame lies before the previous
    // one's acts at that one's frame, one at or past n after the block's last
    // frame (with n = 0 the messages act and nothing is rendered). For the
    // same messages at the same frames the samples do not depend on how a
    // span is cut into blocks. The float form gives sample / 32768. Returns
    // whether any voice still sounds (or is about to start) after the block.
    bool render(float* out, int n, std::span<const block_event> events = {});
    bool render(int16_t* out, int n, std::span<const block_event> events = {});

    // A parameter by number (engine/params.h), in the units of its kind:
    // clamped to its range (see clamp_param). On the thread that renders it
    // acts at once; on another thread, or before any thread has rendered, it
    // waits for the next block. Neither allocates or waits for the audio
    // thread.
    void set(int param, double value);
    // Several parameters at once, each as `set` takes it: a block hears all
    // of them or none.
    void set(std::span<const param_change> changes);
    // Instrument 1 or 2 becomes the one an instrument file's record holds
    // (levels as v / 1000, as the file stores them, not clamped): all its
    // values at once, its voices left alone.
    void load(int instrument, const instrument_record& record);

    // The value of a parameter in the units of its kind, as last set (from
    // any thread), and instrument 1 or 2 as an instrument file holds it.
    double get(int param) const;
    instrument_record record(int instrument) const;
    // Whether a MIDI message is on the channel the engine listens to (its
    // `channel` setting: 0 takes every channel); the routing ignores the rest.
    bool on_its_channel(unsigned long message) const;

private:
    friend engine_state& reference_state(synth_engine& engine);
    engine_state* state_;
};

// The door frame by frame while a voice sounds (for a rendering's tail):
// renders up to n frames and stops after the first frame after which no
// voice of either instrument sounds. Returns the frames rendered; 0 when
// none sounded.
int render_while_sounding(synth_engine& engine, int16_t* out, int n);

// The note frequency table, filled before main.
extern const double (&hertz)[NOTES];

// Pitch.
double spechertz(int semitones);
double realhertz(int note);

// Envelope lengths as the renderer takes them: below 1 counts as 1, and the
// length is capped so that A + D + R and the envelope position fit an int.
int usable_length(int len);

// x less its whole cycles of 6.282, the quotient truncated toward zero (the
// square and sawtooth waves take their position in the cycle from it).
double cycle_remainder(double x);

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
        const std::span<const block_event> batch(batch_, size_t(count_));
        if (out_) engine_.render(out_ + from_, int(frame - from_), batch);
        else engine_.render(static_cast<Sample*>(nullptr), 0, batch);
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
