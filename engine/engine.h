// The synthesis engine: the instrument record, the engine globals, pitch and
// wave functions, the voice renderer and the stream callback.
//
// Threads: the GUI thread writes parameter fields and settings, the MIDI
// thread calls addData (midi/notes.h), the audio thread renders. Fields that
// cross threads are `shared<>` (relaxed atomics). The per-note voice state
// (`envpos`, `velocity`, `fadecount`) and `phase` belong to the audio thread
// alone: a note-on reaches it through the instrument's `starts` mailbox.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/shared.h"

constexpr int OSCILLATORS = 10;
constexpr int NOTES = 150;          // per-note array size
constexpr int RENDERED_NOTES = 100; // the renderer visits notes 0..99
constexpr int MIDI_NOTES = 128;     // notes a message can name
constexpr double CYCLE = 6.282;     // one oscillator cycle, in this engine's radians
constexpr double HALF_CYCLE = 3.141;

// Note starts travelling from addData to the renderer.
//
// addData posts (level, fade length) for a note as one 64-bit word and sets the
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
    double phase[OSCILLATORS];          // time base per oscillator (audio thread)
    shared<int> frq[OSCILLATORS];       // semitones above the played note
    shared<double> vol[OSCILLATORS];    // amplitude; not above 0 means skipped
    shared<double> oscstep[OSCILLATORS];// phase increment per sample, from frq
    shared<int> wav[OSCILLATORS];       // 0 sine, 1 square, 2 saw, 3 noise
    shared<double> vib[OSCILLATORS];    // depth of the 5 Hz amplitude modulation
    shared<int> attacklen;              // samples
    shared<double> attack;              // level at the end of the attack
    shared<int> decaylen;               // samples
    shared<double> decay;               // sustain level
    shared<int> releaselen;             // samples
    int envpos[NOTES];                  // per note: samples since start, -1 ended
    int velocity[NOTES];                // per note: level, 0 = voice off
    int fadecount[NOTES];               // per note: fade countdown, negative = no fade
    shared<int> fadelen;                // samples, -1 = no fade
    note_starts starts;                 // note-ons waiting for the renderer
};

extern instrument i1, i2;
extern double hertz[NOTES];             // filled once before audio starts
extern shared<int> noteon[NOTES];       // velocity byte of the last note-on, 0 = key up
extern shared<int> transpose;
extern shared<int> multimode;
extern shared<int> splitkey;
extern shared<int> fade1;
extern shared<int> fade2;
extern const float outhertz;
extern const int streamsamples;
extern double oscvibrato;               // audio thread only

// Start-up: the defaults of both instruments, their phase steps and the note
// frequency table. Also returns every run-time value (voices, key state,
// settings, vibrato phase, noise generator) to its start-up state.
void engine_init();
void instrument_defaults(instrument& in, int envelope_length);
void compute_oscsteps(instrument& in);

// Pitch and waves.
double spechertz(int semitones);
double realhertz(int note);
double sinwave(double x);
double sqrwave(double x);
double sawwave(double x);
double rndwave(double x);
double vibrato(double depth);
uint32_t noise_state();            // the noise generator, for tests and renderers
void set_noise_state(uint32_t s);

// Envelope lengths as the renderer takes them: below 1 counts as 1, and the
// length is capped so that A + D + R and the envelope position fit an int.
int usable_length(int len);

// x less its whole cycles of 6.282, the quotient truncated toward zero (the
// square and sawtooth waves take their position in the cycle from it).
double cycle_remainder(double x);

// One sample of one instrument.
double render_normal(instrument* in);
double render_instrument(instrument* in);

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

// The stream callback: fills len / 2 signed 16-bit samples.
struct FSOUND_STREAM;
signed char streamcallback(FSOUND_STREAM* stream, void* buff, int len, int param);

// For rendering offline: renders up to n samples as streamcallback does, but
// stops after the first sample after which no voice of either instrument is
// active. Returns the number of samples rendered; 0 when none was active.
int render_until_silent(int16_t* out, int n);
