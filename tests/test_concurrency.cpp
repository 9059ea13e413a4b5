// The renderer, a stream of note messages and slider moves on three threads
// at once, as in the running program. Built with ThreadSanitizer too.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "engine_fixture.h"
#include "panel/callbacks.h"
#include "platform/timed_messages.h"

namespace {

// The audio thread of the test: renders 64 frames at a time through the
// door, with the MIDI messages another thread queued for it (one producer,
// as the live layer's queues) at the start of each block.
struct audio_thread {
    explicit audio_thread(synth_engine& e) : engine(e) {}
    synth_engine& engine;
    std::atomic<long> samples{0};
    std::atomic<bool> stop{false};
    long onsets = 0; // sound after at least 8 silent samples
    std::thread t;
    message_queue midi;

    void start() {
        t = std::thread([this] {
            int16_t buf[64];
            std::vector<block_event> events;
            int silent = 8;
            while (!stop.load(std::memory_order_relaxed)) {
                events.clear();
                for (const timed_message* m; events.size() < 256 && (m = midi.front()); midi.pop())
                    events.push_back({0, m->message});
                engine.render(buf, 64, events);
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
    // A message for the audio thread's next block.
    void send(unsigned long message) {
        while (!midi.push({0, message})) std::this_thread::yield();
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
            engine.set(param_id(0, K_MODE), 1);
            if (i % 64 == 0) std::this_thread::yield();
        }
    });

    const int notes = 600;
    for (int i = 0; i < notes; ++i) {
        int note = 40 + i % 20;
        audio.send(short_message(0x90, note, 100 + i % 28));
        audio.send(short_message(0x90, 0, 0)); // unrelated traffic between
        audio.wait_samples(130);               // the voice has started (and ended)
        audio.send(short_message(0x90, note, 0));
        audio.wait_samples(130);
    }
    done = true;
    gui.join();
    audio.join();
    EXPECT_EQ(audio.onsets, notes);
}

// A note-on arriving while the renderer is ending the same voice restarts it
// from the attack with the new level: hammer one note without pauses and
// check the voice the renderer finally holds.
TEST_F(ConcurrencyTest, StartsAreNeverTorn) {
    multimode = 1;
    audio_thread audio{engine};
    audio.start();
    for (int i = 0; i < 20000; ++i) {
        audio.send(short_message(0x90, 50, 12 + i % 116));
        audio.send(short_message(0x90, 50, 0));
    }
    audio.send(short_message(0x90, 50, 127));
    audio.wait_samples(256);
    audio.join();
    // Joined: the voice state is ours to read (a copy). A held note on
    // instrument 2 sits at sustain (p = A + D = 2) with the last level.
    EXPECT_EQ(i2.velocity[50], 126);
    EXPECT_EQ(i2.envpos[50], 2);
    EXPECT_EQ(noteon[50], 127);
}

namespace {

// Two instruments that play a held note alike in every state the engine
// keeps (lengths and pitch offsets the same: the voices and time bases run
// alike) and differ in every other value, levels and waves.
instrument_record one_of_two(bool second) {
    instrument_record r{};
    for (int k = 0; k < OSCILLATORS; ++k) {
        r.at(K_FRQ, k) = k * 3 - 10;
        r.at(K_WAV, k) = (k + (second ? 1 : 0)) % 3;
        r.at(K_VOL, k) = second ? 300 - 10 * k : 100 + 10 * k;
        r.at(K_VIB, k) = second ? 200 + 10 * k : 10 * k;
    }
    r.at(K_ATTACKLEN) = 2000;
    r.at(K_ATTACK) = second ? 1200 : 1500;
    r.at(K_DECAYLEN) = 3000;
    r.at(K_DECAY) = second ? 600 : 800;
    r.at(K_RELEASELEN) = 4000;
    r.at(K_FADELEN) = -1;
    return r;
}

} // namespace

// An instrument loaded while the audio thread renders is heard whole from
// the start of a block on: every block the audio thread rendered, while
// another thread loaded the two instruments in turn, at every moment of the
// audio thread's cycle, is the same block of a render
// with the one or of a render with the other. The last load, of the second,
// is heard by the last block.
TEST(ConcurrentLoad, EveryBlockIsWhollyTheOldOrTheNewInstrument) {
    constexpr int BLOCK = 64, BLOCKS = 2000, MOST = 50000, LOADS = 4000;
    const instrument_record a = one_of_two(false), b = one_of_two(true);
    const std::vector<block_event> chord = {{0, short_message(0x90, 45, 120)}, {0, short_message(0x90, 57, 100)},
                                            {0, short_message(0x90, 64, 90)}};
    auto events = [&](int k) { return k == 0 ? std::span<const block_event>(chord) : std::span<const block_event>(); };
    for (int round = 0; round < 3; ++round) {
        synth_engine engine;
        engine.load(1, a);
        std::vector<int16_t> heard(size_t(BLOCK) * MOST);
        std::atomic<int> rendered{0};
        std::atomic<bool> last_load_made{false};
        std::thread audio([&] {
            // Until a block starts after the last load (or the buffer is full).
            for (int k = 0; k < MOST; ++k) {
                const bool last = last_load_made.load(std::memory_order_acquire);
                engine.render(heard.data() + size_t(k) * BLOCK, BLOCK, events(k));
                rendered.store(k + 1, std::memory_order_release);
                if (last) break;
                std::this_thread::sleep_for(std::chrono::microseconds(100)); // as a sound card paces it
            }
        });
        long loads = 0;
        while (rendered.load(std::memory_order_acquire) == 0) std::this_thread::yield();
        while (rendered.load(std::memory_order_acquire) < MOST - 1 &&
               (rendered.load(std::memory_order_acquire) < BLOCKS || loads < LOADS || loads % 2 == 0)) {
            const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(loads * 37 % 150);
            while (std::chrono::steady_clock::now() < until) {}
            engine.load(1, ++loads % 2 ? b : a);
        }
        last_load_made.store(true, std::memory_order_release);
        audio.join();
        const int blocks = rendered.load();
        ASSERT_LT(blocks, MOST) << "round " << round << ": the loads did not keep up";

        // The same blocks with each instrument throughout.
        std::vector<int16_t> with[2];
        for (int n = 0; n < 2; ++n) {
            synth_engine alone;
            alone.load(1, n ? b : a);
            with[n].resize(size_t(BLOCK) * blocks);
            for (int k = 0; k < blocks; ++k) alone.render(with[n].data() + size_t(k) * BLOCK, BLOCK, events(k));
        }
        int switches = 0, which = 0;
        for (int k = 0; k < blocks; ++k) {
            auto block = [&](const std::vector<int16_t>& v) { return v.begin() + long(k) * BLOCK; };
            const bool old_one = std::equal(block(heard), block(heard) + BLOCK, block(with[0]));
            const bool new_one = std::equal(block(heard), block(heard) + BLOCK, block(with[1]));
            ASSERT_TRUE(old_one || new_one) << "round " << round << ", block " << k << " is neither instrument";
            switches += k > 0 && (new_one ? 1 : 0) != which;
            which = new_one ? 1 : 0;
        }
        EXPECT_EQ(which, 1) << "round " << round << ": the last load was not heard";
        std::printf("round %d: %ld loads over %d blocks, heard as %d switches\n", round, loads, blocks, switches);
    }
}

// Changes from another thread while the audio thread does not render (a
// stalled cycle) overflow the queue, and still every last value is heard
// at the next block: set without end, then the next block holds them all.
TEST(ConcurrentLoad, AFullQueueLosesNoChange) {
    synth_engine engine;
    int16_t block[64];
    std::thread([&] { engine.render(block, 64); }).join(); // that thread renders
    for (int i = 0; i < 3000; ++i)
        engine.set(param_id(1 + i % 2, K_FRQ, i % OSCILLATORS), double(i % 101 - 50));
    engine.load(2, one_of_two(true));
    engine.set(param_id(0, K_TRANSPOSE), 7);
    std::thread([&] { engine.render(block, 64); }).join(); // a thread renders again
    const engine_snapshot s = snapshot(engine);
    // What get says (every value as last set) is what the renderer holds.
    for (int id = 0; id < PARAM_COUNT; ++id)
        EXPECT_EQ(table_value(param_at(id).kind, s.value[size_t(id)]), engine.get(id)) << param_symbol(id);
    EXPECT_EQ(s.value[size_t(param_id(2, K_ATTACK))], 1.2);
    EXPECT_EQ(s.value[size_t(param_id(0, K_TRANSPOSE))], 7);
}
