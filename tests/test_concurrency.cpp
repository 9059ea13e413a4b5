// The renderer, a stream of note messages and slider moves on three threads
// at once, as in the running program. Built with ThreadSanitizer too.
#include <atomic>
#include <thread>
#include <vector>

#include "engine_fixture.h"
#include "panel/callbacks.h"

namespace {

struct audio_thread {
    explicit audio_thread(synth_engine& e) : engine(e) {}
    synth_engine& engine;
    std::atomic<long> samples{0};
    std::atomic<bool> stop{false};
    long onsets = 0; // sound after at least 8 silent samples
    std::thread t;

    void start() {
        t = std::thread([this] {
            int16_t buf[64];
            int silent = 8;
            while (!stop.load(std::memory_order_relaxed)) {
                engine.render(buf, 64);
                for (int16_t s : buf) {
                    if (s == 0) {
                        ++silent;
                        continue;
                    }
                    if (silent >= 8) ++onsets;
                    silent = 0;
                }
                samples.fetch_add(64, std::memory_order_release);
            }
        });
    }
    void wait_samples(long n) {
        long target = samples.load(std::memory_order_acquire) + n;
        while (samples.load(std::memory_order_acquire) < target) std::this_thread::yield();
    }
    void join() {
        stop = true;
        t.join();
    }
};

} // namespace

class ConcurrencyTest : public EngineTest {};

// Instrument 2 with one-sample envelopes ends a voice three samples after its
// key is released, so note-ons keep landing on voices that are just ending. Each
// note-on must be heard as a fresh onset while sliders move all the time.
TEST_F(ConcurrencyTest, NoNoteIsLostWhileEverythingMoves) {
    // A sine 50 semitones down: a sounding voice gives at most a lone zero
    // sample where it crosses zero, while notes are 130 samples apart.
    i2.at(K_FRQ, 0) = -50;
    compute_oscsteps(i2);
    multimode = 1;
    audio_thread audio{engine};
    audio.start();

    std::atomic<bool> done{false};
    std::thread gui([&] {
        for (int i = 0; !done.load(std::memory_order_relaxed); ++i) {
            // Instrument 1 and the layering settings change; instrument 2's
            // sound stays as the note test needs it.
            param_callback(1, i % OSCILLATOR_KINDS, i % 10)(&engine, i % 4);
            param_callback(1, K_ATTACKLEN + i % ENVELOPE_KINDS)(&engine, i % 100);
            param_callback(2, K_VIB, 3)(&engine, i % 50);
            param_callback(0, K_SPLITKEY)(&engine, i % 101);
            param_callback(0, K_FADE1)(&engine, i % 101);
            param_callback(0, K_FADE2)(&engine, (i * 7) % 101);
            param_callback(0, K_TRANSPOSE)(&engine, 20 + i % 10);
            multimode = 1;
            if (i % 64 == 0) std::this_thread::yield();
        }
    });

    const int notes = 600;
    for (int i = 0; i < notes; ++i) {
        int note = 40 + i % 20;
        engine.midi(short_message(0x90, note, 100 + i % 28));
        engine.midi(short_message(0x90, 0, 0)); // unrelated traffic between
        audio.wait_samples(130);            // the voice has started (and ended)
        engine.midi(short_message(0x90, note, 0));
        audio.wait_samples(130);
    }
    done = true;
    gui.join();
    audio.join();
    EXPECT_EQ(audio.onsets, notes);
}

// A note-on posted while the renderer is ending the same voice restarts it
// from the attack with the new level: hammer one note without pauses and
// check the voice the renderer finally holds.
TEST_F(ConcurrencyTest, StartsAreNeverTorn) {
    multimode = 1;
    audio_thread audio{engine};
    audio.start();
    for (int i = 0; i < 20000; ++i) {
        engine.midi(short_message(0x90, 50, 12 + i % 116));
        engine.midi(short_message(0x90, 50, 0));
    }
    engine.midi(short_message(0x90, 50, 127));
    audio.wait_samples(256);
    audio.join();
    // Joined: the voice state is ours to read. A held note on instrument 2
    // sits at sustain (p = A + D = 2) with the last level.
    EXPECT_EQ(i2.velocity[50], 126);
    EXPECT_EQ(i2.envpos[50], 2);
    EXPECT_EQ(noteon[50], 127);
}
