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

TEST(RenderThreads, BuffersStayValidWhileEverythingMoves) {
    synth_engine engine;
    std::atomic<bool> stop{false};
    std::atomic<long> buffers{0};
    std::thread audio([&] {
        int16_t buf[1024];
        while (!stop.load(std::memory_order_relaxed)) {
            engine.render(buf, 1024);
            buffers.fetch_add(1, std::memory_order_relaxed);
        }
    });
    std::thread gui([&] {
        for (int i = 0; !stop.load(std::memory_order_relaxed); ++i) {
            const int inst = 1 + i % 2;
            param_callback(inst, i % OSCILLATOR_KINDS, (i / 4) % 10)(&engine, (i * 37) % 101 % (i % 4 == 2 ? 5 : 101));
            param_callback(inst, K_ATTACKLEN + i % ENVELOPE_KINDS)(&engine, i % 5);
            param_callback(0, K_TRANSPOSE)(&engine, i % 51);
            engine.multimode = i % 6;
            if (i % 16 == 0) std::this_thread::yield();
        }
    });
    for (int i = 0; buffers.load() < 200 || i < 20000; ++i) {
        engine.midi(short_message(0x90, (i * 7) % 128, (i * 13) % 128));
        if (i % 8 == 0) std::this_thread::yield();
    }
    stop = true;
    audio.join();
    gui.join();
    // Joined: the voice state is ours to read. Nothing ran wild.
    for (instrument* in : {&engine.i1, &engine.i2})
        for (int k = 0; k < OSCILLATORS; ++k) EXPECT_TRUE(std::isfinite(in->phase[k]));
    EXPECT_GE(engine.oscvibrato, 0.0);
    EXPECT_LT(engine.oscvibrato, CYCLE);
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
            if (pos % 3000 < piece) e.midi(short_message(0x90, 30 + pos / 3000, 100));
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
