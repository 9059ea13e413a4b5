#include "engine/cosine.h"
#include <cmath>
#include <limits>

#include "engine_fixture.h"

namespace {

// Only oscillator 0 sounds, as a square wave: near the start of a note its
// value is 1.0, so a sample is exactly velocity * 0.2 * envelope.
void square_only(instrument_under_test& in) {
    in.at(K_WAV, 0) = 1;
    in.at(K_VOL, 0) = 1.0;
}

} // namespace

TEST_F(EngineTest, StartUpTablesAndSilence) {
    EXPECT_EQ(hertz[57], 440.0);
    EXPECT_NEAR(hertz[69], 880.0, 1e-9);
    EXPECT_NEAR(hertz[0], 16.3516, 1e-4);
    EXPECT_GT(hertz[149], 0.0);
    for (int k = 0; k < OSCILLATORS; ++k) {
        EXPECT_DOUBLE_EQ(i1.oscstep[k], 6.282 / 44100.0);
        EXPECT_DOUBLE_EQ(i2.oscstep[k], 6.282 / 44100.0);
    }
    EXPECT_EQ(i1.at(K_ATTACKLEN), 100);
    EXPECT_EQ(i2.at(K_ATTACKLEN), 1);
    EXPECT_EQ(i1.at(K_FADELEN), -1);

    auto buf = stream(1024);
    for (int16_t s : buf) ASSERT_EQ(s, 0);
    for (int k = 0; k < OSCILLATORS; ++k) EXPECT_EQ(i1.phase[k], 0.0);
    EXPECT_NEAR(oscvibrato, 1024 * (6.282 / 8820.0), 1e-9);
}

TEST_F(EngineTest, PitchFunctions) {
    EXPECT_EQ(spechertz(0), 1.0);
    EXPECT_NEAR(spechertz(12), 2.0, 1e-12);
    EXPECT_NEAR(spechertz(-50), 0.05568, 1e-5);
    EXPECT_NEAR(spechertz(50), 17.96, 1e-2);
    EXPECT_EQ(realhertz(57), 440.0);
}

TEST_F(EngineTest, WaveShapesAtTheirEdges) {
    EXPECT_EQ(sqrwave(3.140), 1.0);
    EXPECT_EQ(sqrwave(3.141), 0.0);
    EXPECT_EQ(sqrwave(6.282), 1.0);
    EXPECT_EQ(sawwave(0.0), -1.0);
    EXPECT_EQ(sawwave(3.141), -0.5);
    for (double x = 0.0; x < 100.0; x += 0.0137) ASSERT_LT(sawwave(x), 0.0);
    EXPECT_EQ(sinwave(0.0), 1.0);
    EXPECT_EQ(vibrato(0.0, 0.0), 1.0);
    EXPECT_EQ(vibrato(0.0, 1.0), 0.0);
    EXPECT_NEAR(vibrato(3.0, 0.3), 1.0 - (0.5 + 0.5 * std::cos(3.0)) * 0.3, 1e-15);
}

// The engine's own cosine: these bits on every build (the Windows build is
// held to them too), and within two ulps of the true value at every scale.
TEST(PortableCosine, SameBitsOnEveryBuild) {
    const struct { double x, cos; } table[] = {
        {0x1p-1, 0x1.c1528065b7d5p-1},
        {-0x1p+2, -0x1.4eaa606db24c1p-1},
        {0x1.f42p+9, 0x1.5c7d948a31cf1p-2},
        {0x1.e240c9fbe76c9p+16, 0x1.a74d27c41b22ap-5},
        {0x1p+31, 0x1.e70c2d5131e54p-3},
        {0x1.65a0bcp+31, -0x1.4917f746fa4fp-3},
        {0x1.c6bf526340008p+49, -0x1.ffbd56a1a9b4dp-1},
        {0x1.0f0cf064dd592p+73, 0x1.0be2cef01c8f4p-1},
        {0x1.e42d130773b76p+1023, 0x1.9b6913f41bde3p-1},
    };
    for (const auto& t : table) EXPECT_EQ(portable_cos(t.x), t.cos) << t.x;
    EXPECT_EQ(portable_cos(0.0), 1.0);
    EXPECT_TRUE(std::isnan(portable_cos(INFINITY)));
    EXPECT_TRUE(std::isnan(portable_cos(NAN)));
}

#ifndef _WIN32 // MinGW's own cos is not a reference past a few radians
TEST(PortableCosine, WithinTwoUlps) {
    for (double x = 0.001; x < 1e300; x *= 1.37) {
        const double want = std::cos(x);
        const double ulp = std::nextafter(std::fabs(want), INFINITY) - std::fabs(want);
        ASSERT_LE(std::fabs(portable_cos(x) - want), 2.5 * ulp) << x;
    }
}
#endif

TEST_F(EngineTest, HugeAnglesFoldIntoOneCycle) {
    // Beyond 2^31 cycles a 32-bit quotient would overflow.
    for (double x : {2147483648.0 * 6.282, 1e13 + 0.5, 1e15, 3.5e18}) {
        double d = std::fmod(x, 6.282);
        EXPECT_EQ(sqrwave(x), d < 3.141 ? 1.0 : 0.0) << x;
        double s = sawwave(x);
        EXPECT_GE(s, -1.0) << x;
        EXPECT_LT(s, 0.0) << x;
    }
    // Below the limit the quotient is the truncated one.
    double x = 2147483000.0 * 6.282 + 1.0;
    EXPECT_EQ(sawwave(x), (((x - 2147483000.0 * 6.282) / 2.0) / 6.282) * 2.0 - 1.0);
}

TEST_F(EngineTest, NoiseIsTheFixedGenerator) {
    // state = state * 214013 + 2531011; value = (state >> 16) & 0x7FFF.
    uint32_t s = 1, rng = 1;
    for (int i = 0; i < 5; ++i) {
        s = s * 214013u + 2531011u;
        ASSERT_EQ(rndwave(rng), (((s >> 16) & 0x7FFF) / 32767.0) * 2.0 - 1.0);
    }
    EXPECT_EQ(rng, s);
    // The ends of the range: a drawn 0 gives -1.0, a drawn 32767 gives +1.0.
    const uint32_t inv = [] { // inverse of 214013 modulo 2^32
        uint32_t x = 214013u;
        for (int i = 0; i < 5; ++i) x *= 2u - 214013u * x;
        return x;
    }();
    rng = (0u - 2531011u) * inv;
    EXPECT_EQ(rndwave(rng), -1.0);
    rng = (0x7FFF0000u - 2531011u) * inv;
    EXPECT_EQ(rndwave(rng), 1.0);
}

TEST_F(EngineTest, FirstSamplesOfNote57) {
    note_on(57, 127);
    auto buf = stream(5);
    EXPECT_EQ(buf, (std::vector<int16_t>{64, 128, 190, 249, 306}));
}

TEST_F(EngineTest, InstrumentTwoReachesItsLevelInOneSample) {
    multimode = 1;
    note_on(60, 127);
    double out = render_normal(&i2);
    EXPECT_DOUBLE_EQ(out, 25.2 * std::cos(i2.oscstep[0] * hertz[60]));
    EXPECT_EQ(i2.envpos[60], 2);
    EXPECT_EQ(i2.velocity[60], 126);
}

TEST_F(EngineTest, EnvelopeTimelineAtTheSeams) {
    i1.at(K_ATTACKLEN) = 3;
    i1.at(K_DECAYLEN) = 2;
    i1.at(K_RELEASELEN) = 2;
    i1.at(K_DECAY) = 0.5;
    square_only(i1);
    note_on(0, 127);
    const double env[] = {1.0 / 3, 2.0 / 3, 0.75, 0.5, 0.5, 0.5, 0.25, 0.0};
    const int pos[] = {1, 2, 4, 5, 5, 5, 6, -1};
    for (int s = 0; s < 8; ++s) {
        if (s == 6) note_off(0);
        double out = render_normal(&i1);
        EXPECT_NEAR(out, 126 * 0.2 * env[s], 1e-12) << "sample " << s + 1;
        EXPECT_EQ(i1.envpos[0], pos[s]) << "sample " << s + 1;
    }
    EXPECT_EQ(i1.velocity[0], 0);
    // The sample that ended the voice still counted as sounding; the next clears the time base.
    EXPECT_GT(i1.phase[0], 0.0);
    EXPECT_EQ(render_normal(&i1), 0.0);
    EXPECT_EQ(i1.phase[0], 0.0);
}

TEST_F(EngineTest, StartUpEnvelopeOfInstrumentOne) {
    square_only(i1);
    note_on(1, 127);
    for (int j = 1; j <= 250; ++j) { // attack, decay (at 1.0 too), sustain
        double out = render_normal(&i1);
        double expected = j < 100 ? j / 100.0 : 1.0;
        ASSERT_NEAR(out, 25.2 * expected, 1e-12) << j;
    }
    note_off(1);
    for (int j = 1; j <= 100; ++j) {
        double out = render_normal(&i1);
        ASSERT_NEAR(out, 25.2 * (1.0 - j / 100.0), 1e-9) << j;
    }
    EXPECT_EQ(i1.velocity[1], 0);
}

TEST_F(EngineTest, ReleaseDuringAttackWaitsForTheDecayToEnd) {
    i1.at(K_ATTACKLEN) = 4;
    i1.at(K_DECAYLEN) = 4;
    i1.at(K_RELEASELEN) = 4;
    i1.at(K_DECAY) = 0.5;
    square_only(i1);
    note_on(0, 127);
    render_normal(&i1);
    note_off(0);
    for (int s = 2; s <= 7; ++s) render_normal(&i1);
    // Both seams advance twice: the attack's end at sample 4, the decay's end
    // with the key up at sample 7.
    EXPECT_EQ(i1.envpos[0], 9);
    EXPECT_NEAR(render_normal(&i1), 25.2 * 0.5 * 0.5, 1e-12); // release from the decay level
}

TEST_F(EngineTest, RetriggerInReleaseRestartsTheAttack) {
    square_only(i1);
    note_on(2, 127);
    for (int s = 0; s < 250; ++s) render_normal(&i1);
    note_off(2);
    for (int s = 0; s < 50; ++s) render_normal(&i1);
    note_on(2, 100); // level 78
    EXPECT_NEAR(render_normal(&i1), 78 * 0.2 * 0.01, 1e-12);
    EXPECT_EQ(i1.envpos[2], 1);
    EXPECT_EQ(i1.velocity[2], 78);
}

TEST_F(EngineTest, LowVelocityNoteOnHaltsARelease) {
    square_only(i1);
    note_on(3, 127);
    for (int s = 0; s < 250; ++s) render_normal(&i1);
    note_off(3);
    for (int s = 0; s < 30; ++s) render_normal(&i1);
    note_on(3, 5); // level 0: no new voice, but the key counts as held
    EXPECT_EQ(noteon[3], 5);
    for (int s = 0; s < 20; ++s) ASSERT_NEAR(render_normal(&i1), 25.2, 1e-12);
    EXPECT_EQ(i1.envpos[3], 230);
    note_off(3);
    EXPECT_NEAR(render_normal(&i1), 25.2 * (1.0 - 31 / 100.0), 1e-9); // goes on where it stood
}

TEST_F(EngineTest, FadeOutSilencesButKeepsTheVoice) {
    i1.at(K_FADELEN) = 2000;
    i1.at(K_ATTACKLEN) = 1;
    i1.at(K_DECAYLEN) = 1;
    note_on(0, 127);
    double first = render_normal(&i1);
    EXPECT_NEAR(first, 25.2 * std::cos(i1.phase[0] * hertz[0]) * 1999.0 / 2000.0, 1e-12);
    for (int s = 2; s < 1999; ++s) render_normal(&i1);
    double last = render_normal(&i1); // the 1999th sample: scale 1/2000
    EXPECT_NEAR(last, 25.2 * std::cos(i1.phase[0] * hertz[0]) / 2000.0, 1e-12);
    EXPECT_NE(last, 0.0);
    EXPECT_EQ(render_normal(&i1), 0.0); // the 2000th sample
    EXPECT_EQ(render_normal(&i1), 0.0);
    EXPECT_EQ(i1.velocity[0], 126);
    EXPECT_GT(i1.phase[0], 0.0); // still active: the time base runs on
}

TEST_F(EngineTest, FadeSettingsChangedWhileSounding) {
    square_only(i1);
    note_on(0, 127); // fadecount -1: never fades
    i1.at(K_FADELEN) = 2000;
    for (int s = 0; s < 300; ++s) render_normal(&i1);
    EXPECT_NEAR(render_normal(&i1), 25.2, 1e-12);

    note_on(1, 127); // fades over 2000 samples
    render_normal(&i1);
    i1.at(K_FADELEN) = -1; // negative scale: adds nothing
    EXPECT_NEAR(render_normal(&i1), 25.2, 1e-12);
    i1.at(K_FADELEN) = 0; // no division by zero either
    double out = render_normal(&i1);
    EXPECT_TRUE(std::isfinite(out));
    EXPECT_NEAR(out, 25.2, 1e-12);
    EXPECT_EQ(i1.velocity[1], 126);
}

TEST_F(EngineTest, LengthsBelowOneActAsOneSample) {
    square_only(i1);
    i1.at(K_ATTACKLEN) = 0;
    i1.at(K_DECAYLEN) = -5;
    i1.at(K_RELEASELEN) = 0;
    i1.at(K_FADELEN) = 0; // from a file only: the voice is silent at once
    note_on(0, 127);
    EXPECT_EQ(render_normal(&i1), 0.0);
    EXPECT_EQ(i1.envpos[0], 2);
    i1.at(K_FADELEN) = -1;
    note_on(0, 127);
    EXPECT_NEAR(render_normal(&i1), 25.2, 1e-12);
    note_off(0);
    EXPECT_EQ(render_normal(&i1), 0.0);
    EXPECT_EQ(i1.velocity[0], 0);
}

TEST_F(EngineTest, EnormousLengthsDoNotOverflow) {
    square_only(i1);
    i1.at(K_ATTACKLEN) = 0x7FFFFFFF;
    i1.at(K_DECAYLEN) = 0x7FFFFFFF;
    i1.at(K_RELEASELEN) = 0x7FFFFFFF;
    note_on(0, 127);
    double out = render_normal(&i1);
    EXPECT_GT(out, 0.0);
    EXPECT_LT(out, 1e-6);
}

TEST_F(EngineTest, SilentOscillatorsAndUnheardNotes) {
    i1.at(K_WAV, 0) = 4;
    note_on(40, 127);
    for (int s = 0; s < 10; ++s) EXPECT_EQ(render_normal(&i1), 0.0);
    EXPECT_GT(i1.phase[0], 0.0); // the voice is active all the same

    engine.reset();
    i1.at(K_WAV, 0) = 3;
    i1.at(K_VOL, 0) = 0.0;
    note_on(40, 127);
    const uint32_t before = snapshot(engine).noise;
    render_normal(&i1);
    EXPECT_EQ(snapshot(engine).noise, before) << "a skipped noise oscillator drew a value";

    engine.reset();
    note_on(110, 127);
    for (int s = 0; s < 200; ++s) EXPECT_EQ(render_normal(&i1), 0.0);
    EXPECT_EQ(i1.velocity[110], 126);
    EXPECT_EQ(i1.phase[0], 0.0);
}

TEST_F(EngineTest, NotesWithoutAPitchAreSilentButRunTheirEnvelope) {
    transpose = -25;
    note_on(10, 127); // frequency index -15
    render_normal(&i1);
    EXPECT_EQ(render_normal(&i1), 0.0);
    EXPECT_EQ(i1.envpos[10], 2);
    EXPECT_GT(i1.phase[0], 0.0);
    transpose = 25;
    note_on(99, 127); // index 124 is in the table
    for (int s = 0; s < 50; ++s) render_normal(&i1);
    EXPECT_NE(render_normal(&i1), 0.0);
}

TEST_F(EngineTest, SampleConversionTruncatesAndClips) {
    EXPECT_EQ(to_sample(25.2), 6451);
    EXPECT_EQ(to_sample(-25.2), -6451);
    EXPECT_EQ(to_sample(0.003), 0);
    EXPECT_EQ(to_sample(200.0), 32767);
    EXPECT_EQ(to_sample(-200.0), -32768);
    EXPECT_EQ(to_sample(std::numeric_limits<double>::infinity()), 32767);
    EXPECT_EQ(to_sample(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST_F(EngineTest, LoudChordsClipInsteadOfWrapping) {
    for (int k = 0; k < OSCILLATORS; ++k) {
        i2.at(K_VOL, k) = 1.0;
        i2.at(K_WAV, k) = 1;
    }
    multimode = 1;
    for (int n = 20; n < 30; ++n) note_on(n, 127);
    auto buf = stream(4);
    for (int16_t s : buf) EXPECT_EQ(s, 32767);
}

TEST_F(EngineTest, VibratoPhaseWrapsEveryCycle) {
    double prev = 0.0;
    int wraps = 0;
    for (int b = 0; b < 20; ++b) {
        for (int i = 0; i < 1024; ++i) {
            stream(1);
            ASSERT_GE(oscvibrato, 0.0);
            ASSERT_LT(oscvibrato, 6.282);
            if (oscvibrato < prev) ++wraps;
            prev = oscvibrato;
        }
    }
    EXPECT_EQ(wraps, 20 * 1024 / 8820);
}

TEST_F(EngineTest, StreamFillsExactlyTheHandedLength) {
    note_on(57, 127);
    auto a = stream(3);
    engine.reset();
    note_on(57, 127);
    auto b = stream(5);
    EXPECT_EQ(a[2], b[2]);
}

// Lengths are stored in samples at 44100 Hz: at any rate a note lasts the
// same time, within one sample of that rate; at 44100 nothing changes.
TEST(EngineRates, EnvelopesLastTheSameTimeAtEveryRate) {
    EXPECT_EQ(length_at_rate(4409, 44100.0f), 4409);
    EXPECT_EQ(length_at_rate(4409, 48000.0f), 4799);
    EXPECT_EQ(length_at_rate(1, 8000.0f), 1);
    EXPECT_EQ(length_at_rate(-1, 96000.0f), -1); // a fade that is off stays off
    EXPECT_EQ(length_at_rate(0x7FFFFFFF, 192000.0f), 0x7FFFFFFF);
    for (float rate : {44100.0f, 48000.0f, 96000.0f}) {
        synth_engine e(rate);
        e.set(param_id(1, K_ATTACKLEN), 441);
        e.set(param_id(1, K_DECAYLEN), 883);
        e.set(param_id(1, K_RELEASELEN), 4409);
        e.set(param_id(1, K_FADELEN), 30001); // fades out before the release ends
        const int held = int(0.05f * rate);
        std::vector<int16_t> out(held + int(rate));
        send(e, 0x7F3990); // note 57 on
        e.render(out.data(), held);
        send(e, 0x3990); // and off
        const int sounding = held + render_while_sounding(e, out.data() + held, int(rate));
        const double expected = std::min(30001 / 44100.0, 0.05 + 4409 / 44100.0);
        EXPECT_NEAR(sounding / double(rate), expected, 1.0 / rate) << rate << " Hz";
    }
}

// The vibrato phase at a frame of the host's timeline is the one the
// renderer reaches by stepping there from frame 0 (or a hair from it, on
// either side of a cycle's end).
TEST(EngineRates, TimelineFrameGivesTheSteppedVibratoPhase) {
    for (float rate : {44100.0f, 96000.0f})
        for (int frame : {0, 1, 8819, 8820, 1000003}) {
            synth_engine stepped(rate), told(rate);
            std::vector<int16_t> out(frame + 1);
            if (frame > 0) stepped.render(out.data(), frame);
            told.set_timeline_frame(frame);
            const double apart = std::fabs(snapshot(told).vibrato_phase - snapshot(stepped).vibrato_phase);
            EXPECT_LT(std::min(apart, CYCLE - apart), 1e-9) << rate << " Hz, frame " << frame;
        }
}
