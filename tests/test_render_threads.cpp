// The block renderer with the other threads at work, as in the live program:
// whole 1024-sample buffers on the audio thread while notes arrive and every
// parameter moves. Built with ThreadSanitizer too (label "concurrency").
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "engine/notes.h"
#include "panel/callbacks.h"
#include "tests/oracle.h"

TEST(RenderThreads, BuffersStayValidWhileEverythingMoves) {
    synth_engine engine;
    std::atomic<bool> stop{false};
    std::atomic<long> buffers{0}, moves{0};
    std::thread audio([&] {
        int16_t buf[1024];
        std::vector<block_event> notes;
        for (int i = 0; !stop.load(std::memory_order_relaxed);) {
            // Notes arrive through the door, at frames all over the buffer.
            notes.clear();
            for (int k = 0; k < 100; ++k, ++i)
                notes.push_back({uint32_t(k * 10), short_message(0x90, (i * 7) % 128, (i * 13) % 128)});
            const bool sounding = engine.render(buf, 1024, notes);
            (void)sounding;
            buffers.fetch_add(1, std::memory_order_relaxed);
        }
    });
    std::thread gui([&] {
        for (int i = 0; !stop.load(std::memory_order_relaxed); ++i) {
            const int inst = 1 + i % 2;
            param_callback(inst, i % OSCILLATOR_KINDS, (i / 4) % 10)(&engine, (i * 37) % 101 % (i % 4 == 2 ? 5 : 101));
            param_callback(inst, K_ATTACKLEN + i % ENVELOPE_KINDS)(&engine, i % 5);
            param_callback(0, K_TRANSPOSE)(&engine, i % 51);
            engine.set(param_id(0, K_MODE), i % 6);
            moves.fetch_add(1, std::memory_order_relaxed);
            if (i % 16 == 0) std::this_thread::yield();
        }
    });
    while (buffers.load() < 200 || moves.load() < 5000) std::this_thread::yield();
    stop = true;
    audio.join();
    gui.join();
    // Joined: the voice state is ours to read. Nothing ran wild.
    const engine_snapshot s = snapshot(engine);
    for (double p : s.phase) EXPECT_TRUE(std::isfinite(p));
    EXPECT_GE(s.vibrato_phase, 0.0);
    EXPECT_LT(s.vibrato_phase, CYCLE);
}

// Instances share nothing that they write: two engines on two threads, fed
// the same messages while both render, in pieces of different sizes, play
// the same samples as one engine alone.
TEST(RenderThreads, InstancesOnTwoThreadsPlayAlike) {
    constexpr int N = 44100;
    auto play = [](synth_engine& e, std::vector<int16_t>& out, int piece) {
        e.set(param_id(1, K_WAV, 1), 3); // noise: the generator is the instance's own
        e.set(param_id(1, K_VOL, 1), 0.2);
        e.set(param_id(1, K_VIB, 0), 0.5);
        e.set(param_id(0, K_MODE), 4);
        out.assign(N, 0);
        for (int pos = 0; pos < N;) {
            if (pos % 3000 < piece) send(e, short_message(0x90, 30 + pos / 3000, 100));
            const int n = std::min(piece, N - pos);
            e.render(out.data() + pos, n);
            pos += n;
        }
    };
    synth_engine a, b, alone;
    std::vector<int16_t> ra, rb, want;
    std::thread ta([&] { play(a, ra, 1000); });
    std::thread tb([&] { play(b, rb, 1000); });
    ta.join();
    tb.join();
    play(alone, want, 1000);
    EXPECT_EQ(ra, want);
    EXPECT_EQ(rb, want);
}
