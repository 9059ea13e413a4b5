// The shipped renderer against the reference, sample by sample: every sample
// within one step, the voice state, time base, vibrato phase and noise
// generator identical afterwards.
#include <cstdio>
#include <filesystem>
#include <random>
#include <unistd.h>

#include "files/instrument_file.h"
#include "panel/callbacks.h"
#include "tests/render_harness.h"

namespace {

void set_osc(instrument_under_test& in, int k, int wav, double vol, int frq = 0, double vib = 0.0) {
    in.at(K_WAV, k) = wav;
    in.at(K_VOL, k) = vol;
    in.at(K_FRQ, k) = frq;
    in.at(K_VIB, k) = vib;
}

void envelope(instrument_under_test& in, int a, int d, int r, double attack = 1.0, double decay = 0.7) {
    in.at(K_ATTACKLEN) = a;
    in.at(K_DECAYLEN) = d;
    in.at(K_RELEASELEN) = r;
    in.at(K_ATTACK) = attack;
    in.at(K_DECAY) = decay;
}

} // namespace

class Golden : public RenderTest {};

TEST_P(Golden, StartUpInstrumentsPlayAChord) {
    sequence seq;
    seq.length = 20000;
    for (int n : {48, 52, 55, 60}) seq.note(100 + n, n, 100);
    for (int n : {48, 52, 55, 60}) seq.note(9000 + n * 3, n, 0);
    compare(seq);
}

TEST_P(Golden, ChordsOnBothInstrumentsWithEveryWave) {
    sequence seq;
    seq.setup = [this] {
        multimode = 4; // fade: both instruments sound
        set_osc(i1, 0, 0, 0.5, 0, 0.3);
        set_osc(i1, 1, 1, 0.25, 7, 0.0);
        set_osc(i1, 2, 2, 0.3, -12, 1.0);
        set_osc(i1, 3, 3, 0.1, 0, 0.5);
        set_osc(i2, 4, 2, 0.6, 12, 0.2);
        set_osc(i2, 7, 1, 0.4, -5, 0.0);
        set_osc(i2, 9, 3, 0.2, 3, 0.0);
        set_osc(i2, 5, 3, 0.05, 0, 0.9);
        envelope(i1, 301, 2001, 4001, 1.5, 0.8);
        envelope(i2, 1, 601, 2001, 0.9, 1.2);
    };
    seq.length = 60000;
    for (int i = 0; i < 12; ++i) seq.note(500 + 37 * i, 30 + 5 * i, 60 + 5 * i);
    for (int i = 0; i < 12; ++i) seq.note(30000 + 911 * i, 30 + 5 * i, 0);
    compare(seq);
}

TEST_P(Golden, FastRepeatsAndRetriggersInRelease) {
    sequence seq;
    seq.setup = [this] {
        multimode = 1;
        set_osc(i2, 0, 1, 0.7, 0, 0.0);
        set_osc(i2, 1, 2, 0.5, 12, 0.4);
        envelope(i2, 20, 30, 400);
    };
    seq.length = 30000;
    long t = 10;
    for (int i = 0; i < 200; ++i) { // a note every few samples, half of them released at once
        seq.note(t, 60 + i % 3, 127 - i % 50);
        if (i % 2) seq.note(t + 3, 60 + i % 3, 0);
        t += 7 + i % 23;
    }
    seq.note(t + 100, 60, 0).note(t + 100, 61, 0).note(t + 100, 62, 0);
    seq.note(t + 300, 61, 90); // in the release of note 61
    seq.note(t + 301, 61, 0);
    seq.note(t + 500, 62, 5); // too soft to start, but halts the release
    compare(seq);
}

TEST_P(Golden, EveryLayeringMode) {
    for (int mode = 0; mode < 6; ++mode) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        sequence seq;
        seq.setup = [this, mode] {
            multimode = mode;
            splitkey = 55;
            fade1 = 40;
            fade2 = 70;
            set_osc(i1, 0, 2, 0.8, 0, 0.0);
            set_osc(i2, 0, 0, 0.8, 5, 0.6);
            envelope(i2, 50, 50, 300);
        };
        seq.length = 12000;
        for (int n = 30; n <= 85; n += 5) seq.note(n * 20, n, 110);
        for (int n = 30; n <= 85; n += 5) seq.note(6000 + n * 30, n, 0);
        compare(seq);
    }
}

TEST_P(Golden, FadesIncludingChangesWhileSounding) {
    sequence seq;
    seq.setup = [this] {
        i1.at(K_FADELEN) = 2000;
        set_osc(i1, 1, 1, 0.5, -7, 0.0);
        set_osc(i1, 2, 3, 0.2, 0, 0.0);
        envelope(i1, 1, 1, 500);
    };
    seq.length = 12000;
    seq.note(10, 40, 127).note(700, 45, 100);
    seq.at(1500, [this] { i1.at(K_FADELEN) = 4000; }); // running fades keep their count
    seq.note(1600, 47, 120);
    seq.at(2500, [this] { i1.at(K_FADELEN) = -1; }); // a fade still counting goes silent
    seq.note(2600, 52, 120);               // a new note does not fade
    seq.at(3000, [this] { i1.at(K_FADELEN) = 0; });
    seq.note(3100, 54, 120);
    seq.at(3200, [this] { i1.at(K_FADELEN) = 6000; });
    seq.note(3300, 57, 127);
    seq.note(9000, 40, 0).note(9000, 45, 0).note(9000, 47, 0).note(9000, 52, 0);
    seq.note(9000, 54, 0).note(9000, 57, 0);
    compare(seq);
}

TEST_P(Golden, TranspositionToBothEndsAndBeyondTheTable) {
    sequence seq;
    seq.setup = [this] {
        set_osc(i1, 0, 0, 0.6, 50, 0.0); // the highest offset
        set_osc(i1, 1, 1, 0.4, -50, 0.0);
        set_osc(i1, 2, 2, 0.4, 24, 0.5);
        envelope(i1, 10, 10, 100);
    };
    seq.length = 16000;
    seq.at(0, [this] { transpose = 25; });
    seq.note(10, 99, 127).note(10, 0, 127).note(20, 124, 127); // 124 is never heard
    seq.at(4000, [this] { transpose = -25; }); // the voice of note 0 loses its pitch
    seq.note(4100, 10, 127).note(4200, 30, 127);
    seq.at(8000, [this] { transpose = 3; });
    seq.note(12000, 99, 0).note(12000, 0, 0).note(12000, 10, 0).note(12000, 30, 0);
    compare(seq);
}

TEST_P(Golden, ParametersChangedWhileNotesSound) {
    sequence seq;
    seq.setup = [this] { multimode = 2; };
    seq.length = 24000;
    for (int n = 40; n < 70; n += 3) seq.note(n, n, 127);
    seq.at(1000, [this] { param_callback(1, K_WAV, 2)(&engine, 1); });
    seq.at(1500, [this] { param_callback(1, K_VOL, 2)(&engine, 70); param_callback(1, K_FRQ, 2)(&engine, 62); });
    seq.at(2000, [this] { param_callback(1, K_ATTACKLEN)(&engine, 3); param_callback(2, K_DECAYLEN)(&engine, 1); });
    seq.at(3000, [this] { param_callback(1, K_VIB, 0)(&engine, 50); param_callback(2, K_VIB, 0)(&engine, 25); param_callback(2, K_WAV, 0)(&engine, 2); });
    seq.at(4000, [this] { param_callback(1, K_RELEASELEN)(&engine, 0); param_callback(2, K_RELEASELEN)(&engine, 10); });
    for (int n = 40; n < 70; n += 3) seq.note(5000 + n, n, 0);
    seq.at(5100, [this] { param_callback(2, K_DECAYLEN)(&engine, 0); param_callback(2, K_RELEASELEN)(&engine, 0); }); // shortened mid-release
    seq.at(6000, [this] { param_callback(1, K_WAV, 0)(&engine, 3); param_callback(1, K_VOL, 0)(&engine, 0); param_callback(1, K_VOL, 5)(&engine, 100); param_callback(1, K_WAV, 5)(&engine, 4); });
    for (int n = 40; n < 70; n += 3) seq.note(7000 + n, n, 90);
    seq.at(9000, [this] { param_callback(1, K_FRQ, 0)(&engine, 0); param_callback(2, K_FRQ, 0)(&engine, 100); });
    compare(seq);
}

TEST_P(Golden, LoudMixesClipAlike) {
    sequence seq;
    seq.setup = [this] {
        for (int k = 0; k < OSCILLATORS; ++k) set_osc(i1, k, k % 3, 1.0, k, 0.0);
    };
    seq.length = 8000;
    for (int n = 40; n < 60; ++n) seq.note(n, n, 127);
    compare(seq);
}

// Offsets only a file can hold, from a note's start to an hour into it: angles
// far past the range of the vector cosine. An oscillator whose step had to be
// 0 (an offset beyond +392) is silent.
TEST_P(Golden, FileOnlyOffsetsAtEveryAngle) {
    for (double seconds : {0.0, 0.5, 8.8, 600.0, 3600.0}) {
        SCOPED_TRACE(std::to_string(seconds) + " s into the note");
        sequence seq;
        seq.setup = [this, seconds] {
            transpose = 25;
            multimode = 4;
            set_osc(i1, 0, 0, 1.0, 390);
            set_osc(i1, 1, 0, 0.5, 300, 0.3);
            set_osc(i1, 2, 2, 0.3, 392);
            set_osc(i1, 3, 0, 1.0, 393);
            set_osc(i2, 0, 1, 1.0, 500);
            time_base_into_note(engine, 1, seconds);
        };
        seq.length = 3000;
        seq.note(0, 99, 127).note(0, 40, 127).note(0, 74, 90);
        compare(seq);
    }
    sequence silent; // sine, square and sawtooth, each without a pitch
    silent.setup = [this] { for (int k = 0; k < 3; ++k) set_osc(i1, k, k, 1.0, 393 + 10000 * k); };
    silent.length = 2000;
    silent.note(0, 60, 127);
    EXPECT_FALSE(any_sound(render(engine, silent, renderer::oracle)));
    EXPECT_FALSE(any_sound(render(engine, silent, renderer::shipped)));
}

TEST_P(Golden, LoadedInstrumentFiles) {
    // Of its own: the test runs in parallel with its twins for other codes.
    const auto dir = std::filesystem::temp_directory_path() /
                     ("synth-golden-" + std::to_string(getpid()) + "-" + GetParam());
    std::filesystem::create_directories(dir);
    const std::string f1 = (dir / "organ.zpk").string(), f2 = (dir / "pluck.zpk").string();
    engine.reset();
    for (int k = 0; k < 6; ++k) set_osc(i1, k, k % 4, 0.9 / (k + 1), 12 * (k % 3) - k, 0.1 * k);
    envelope(i1, 2001, 4001, 8001, 1.2, 0.9);
    i1.at(K_FADELEN) = 40000;
    set_osc(i1, 9, 1, 0.3, -24, 0.0);
    ASSERT_TRUE(save_instrument_file(f1, i1.record(), nullptr));
    engine.reset();
    set_osc(i1, 0, 2, 1.0, 0, 0.0);
    set_osc(i1, 1, 1, 0.5, 19, 0.7);
    envelope(i1, 1, 201, 1201, 2.0, 0.2);
    ASSERT_TRUE(save_instrument_file(f2, i1.record(), nullptr));

    sequence seq;
    seq.setup = [&] {
        engine.load(1, *load_instrument_file(f1, nullptr));
        engine.load(2, *load_instrument_file(f2, nullptr));
        multimode = 5;
    };
    seq.length = 40000;
    for (int i = 0; i < 8; ++i) seq.note(100 + 250 * i, 36 + 7 * i, 127 - 9 * i);
    seq.at(20000, [&] { engine.load(1, *load_instrument_file(f2, nullptr)); }); // while sounding
    for (int i = 0; i < 8; ++i) seq.note(25000 + 50 * i, 36 + 7 * i, 0);
    compare(seq);
    std::filesystem::remove_all(dir);
}

INSTANTIATE_FOR_EVERY_OSCILLATOR_CODE(Golden);

// Random message streams and parameter changes, random buffer lengths.
class RandomStreams : public RenderTest {};

TEST_P(RandomStreams, AgreeWithTheReference) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        sequence seq;
        seq.length = 30000;
        seq.setup = [this, s = rng()] {
            std::mt19937 r(s);
            for (int inst = 1; inst <= 2; ++inst)
                for (int k = 0; k < OSCILLATORS; ++k) {
                    param_callback(inst, K_VOL, k)(&engine, r() % 3 ? 0 : int(r() % 101));
                    param_callback(inst, K_FRQ, k)(&engine, int(r() % 101));
                    param_callback(inst, K_WAV, k)(&engine, int(r() % 5));
                    param_callback(inst, K_VIB, k)(&engine, int(r() % 51));
                }
        };
        long t = 0;
        while (t < seq.length) {
            t += pick(0, 3) ? pick(0, 300) : 0;
            int what = pick(0, 99);
            if (what < 55) {
                int note = pick(0, 5) ? pick(20, 90) : pick(0, 127);
                int vel = pick(0, 2) ? pick(0, 127) : 0;
                int status = pick(0, 9) ? 0x90 : pick(0x80, 0xFF);
                seq.note(t, note, vel, status);
            } else if (what < 80) {
                int inst = pick(1, 2), param = pick(0, OSCILLATOR_KINDS - 1), k = pick(0, 9);
                int pos = param == K_WAV ? pick(0, 4) : pick(0, 100);
                seq.at(t, [=, this] { param_callback(inst, param, k)(&engine, pos); });
            } else if (what < 92) {
                int inst = pick(1, 2), param = pick(0, ENVELOPE_KINDS - 1);
                int pos = param == K_FADELEN ? pick(0, 3) : pick(0, 4);
                seq.at(t, [=, this] { param_callback(inst, K_ATTACKLEN + param)(&engine, pos); });
            } else {
                int which = pick(0, 4), value = pick(0, 100);
                seq.at(t, [=, this] {
                    switch (which) {
                    case 0: multimode = value % 6; break;
                    case 1: splitkey = value; break;
                    case 2: fade1 = value; break;
                    case 3: fade2 = value; break;
                    default: transpose = value / 2 - 25; break;
                    }
                });
            }
        }
        compare(seq, [seed](long i) { return int((i * 2654435761u + seed) % 700) + 1; });
    }
}

INSTANTIATE_FOR_EVERY_OSCILLATOR_CODE(RandomStreams);

// Ten minutes of held notes at the highest pitches the panel reaches: angles
// beyond 10^9, and a time base accumulated over 26 million additions. With
// the oscillator code the program uses on this processor alone.
class TenMinutes : public RenderTest {};

TEST_P(TenMinutes, HeldNotesStayInStep) {
    sequence seq;
    seq.setup = [this] {
        transpose = 25;
        multimode = 4;
        set_osc(i1, 0, 0, 0.5, 50, 0.4);
        set_osc(i1, 1, 1, 0.3, 47, 0.0);
        set_osc(i1, 2, 2, 0.3, 50, 0.0);
        set_osc(i2, 0, 0, 0.5, 0, 0.0);
        set_osc(i2, 3, 2, 0.5, -50, 0.2);
    };
    seq.length = 10L * 60 * 44100 + 5000;
    seq.note(0, 99, 127).note(0, 70, 100).note(0, 40, 80);
    seq.note(10L * 60 * 44100, 99, 0).note(10L * 60 * 44100, 70, 0).note(10L * 60 * 44100, 40, 0);
    compare(seq);
}

INSTANTIATE_TEST_SUITE_P(, TenMinutes, ::testing::Values(std::string(oscillator_code_at_start())),
                         [](const auto& info) { return info.param; });
