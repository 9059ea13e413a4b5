// The engine's state, for the engine's own code (engine.cpp, notes.cpp,
// render.cpp) and the reference renderer of the tests: nothing else
// includes this header.
//
// The audio thread (the one that renders) alone writes the state the renderer
// reads. Another thread's changes travel to it through `changes`, a lock-free
// queue of parameter values that the audio thread takes whole at the start
// of a block; `told` holds every value as last set from any thread, for
// `get` and `record`, and stands in for the queue when it is full: the audio
// thread then takes all of it, whole, at the start of a block.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "engine/engine.h"
#include "engine/shared.h"

// Note starts travelling from the MIDI door to the renderer.
//
// A note-on posts (level, fade length) for a note as one 64-bit word and sets the
// note's bit in `pending`; the renderer, before each block, takes every posted
// start and applies it to the voice. A second start posted before the first is
// taken replaces it, which is what playing both in one sample would have
// sounded like.
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

// Parameter values on their way from other threads to the audio thread: a
// ring of fixed size for one producer at a time (the engine's producers take
// turns) and one consumer. A batch is published at once, after all its
// values are written, so the consumer (the audio thread) takes a batch whole
// or not at all, and never waits.
class change_queue {
public:
    static constexpr uint32_t SIZE = 1024; // holds ten batches of every parameter

    // Appends the batch as one; false when it does not fit.
    bool push(const param_change* changes, int n) noexcept;
    // Calls apply(change) for every published value, in order. Consumer only.
    template <class F>
    void take(F&& apply) noexcept {
        const uint32_t tail = tail_.load(std::memory_order_acquire);
        uint32_t head = head_.load(std::memory_order_relaxed);
        if (head == tail) return;
        for (; head != tail; ++head) apply(ring_[head % SIZE]);
        head_.store(tail, std::memory_order_release);
    }
    bool empty() const noexcept {
        return head_.load(std::memory_order_acquire) == tail_.load(std::memory_order_acquire);
    }
    // Drops everything queued. Not while another thread pushes or takes.
    void clear() noexcept { head_.store(tail_.load(std::memory_order_relaxed), std::memory_order_relaxed); }

private:
    param_change ring_[SIZE];
    std::atomic<uint32_t> head_{0}; // next to take; written by the consumer
    std::atomic<uint32_t> tail_{0}; // one past the last published value
};

// One instrument: its values (a view into the engine's values), its phase
// steps and its voices.
struct instrument {
    // Instrument n's values in the engine's array of every parameter.
    const double* values = nullptr;
    // A value by kind (engine/params.h) and oscillator, in the engine's units
    // (a fade length of -1 is off): an envelope kind's at oscillator 0.
    double at(int kind, int oscillator = 0) const {
        return kind < OSCILLATOR_KINDS ? values[kind * OSCILLATORS + oscillator]
                                       : values[OSCILLATOR_KINDS * OSCILLATORS + kind - OSCILLATOR_KINDS];
    }

    double phase[OSCILLATORS];          // time base per oscillator
    double oscstep[OSCILLATORS];        // phase increment per sample, from the pitch offset
    int envpos[NOTES];                  // per note: samples since start, -1 ended
    int velocity[NOTES];                // per note: level, 0 = voice off
    int fadecount[NOTES];               // per note: fade countdown, negative = no fade
    note_starts starts;                 // note-ons waiting for the renderer
    std::atomic<bool> hush{false};      // all sound off: every voice stops before the next start
    float rate = 44100.0f;              // output samples per second, for the phase steps and lengths
};

struct render_scratch; // the renderer's working space (render.cpp)
render_scratch* new_render_scratch();
void delete_render_scratch(render_scratch* s);

struct engine_state {
    // Every parameter's value by number (engine/params.h) in the engine's
    // units, as the renderer reads them: both instruments' and the shared
    // settings'. Whole numbers for the integer kinds.
    double value[PARAM_COUNT];
    double setting(int kind) const { return value[param_id(0, kind)]; }

    instrument i1, i2;
    instrument& in(int n) { return n == 1 ? i1 : i2; }

    int noteon[NOTES];          // velocity byte of the last note-on, 0 = key up
    int bend = 8192;            // the pitch wheel, 0..16383, 8192 the centre
    bool pedal = false;         // the sustain pedal is down
    bool sustained[MIDI_NOTES]; // released keys the pedal holds
    double oscvibrato = 0.0;    // the vibrato phase
    uint32_t rng = 1;           // the noise generator
    float rate = 44100.0f;      // output samples per second
    render_scratch* scratch = nullptr;

    // The way in from other threads, which take turns through `producing`.
    // `told` is written between two steps of `told_count` (odd while a
    // batch is half written); `resync` asks the audio thread to take all of
    // it, after a batch found the queue full.
    change_queue changes;
    shared<double> told[PARAM_COUNT];           // every value as last set, engine units
    std::atomic<uint32_t> told_count{0};
    std::atomic<bool> resync{false};
    std::atomic<bool> producing{false};
    std::atomic<std::thread::id> renderer{};    // the thread that renders; none yet: default

    // The factor on every pitch: 1 at the centre of the wheel (or with
    // controllers off), else 2^((bend - 8192) / 8192 * bend_range / 12).
    double bend_factor() const;
    // The last factor worked out (the power takes about a microsecond),
    // for the wheel position and range it belongs to.
    mutable struct {
        int wheel = 8192;
        double range = -1.0;
        double factor = 1.0;
    } bend_memo;

    // Stores a value (engine units) where the renderer reads it, noting an
    // instrument whose pitch offsets moved; then that instrument's phase
    // steps. Audio thread only.
    void store(const param_change& change, bool pitch_moved[2]);
    void steps_after(const bool pitch_moved[2]);
    // Takes every change other threads queued. Audio thread only.
    void take_changes();
    // A MIDI short message, acting now (engine/notes.cpp). Audio thread only.
    void midi(unsigned long message);
    // Whether a voice sounds or a start waits (a hush waiting silences
    // every voice on).
    bool sounding() const;
};

// The start-up values of instrument n (1 or 2) into its values, with its
// phase steps and no voice.
void instrument_defaults(engine_state& s, int n);
void compute_oscsteps(instrument& in);

// The renderer (render.cpp): n samples of both instruments.
void render_samples(engine_state& s, int16_t* out, int n);
