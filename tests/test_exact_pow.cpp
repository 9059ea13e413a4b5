// The pitch powers: correctly rounded, and the same bits on every system
// (this file runs under Wine too).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "engine/engine.h"
#include "engine/exact_pow.h"
#include "engine/midi_message.h"

namespace {

uint64_t bits(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// The exponent of the bend factor for a wheel position and range, written
// as the engine writes it.
double bend_exponent(int wheel, int range) { return double(wheel - 8192) / 8192.0 * double(range) / 12.0; }

} // namespace

TEST(ExactPow, WorkedValuesAndEdges) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    struct { int k; double expected; } semitones[] = {
        {0, 1.0}, {1, SEMITONE}, {-57 + 57, 1.0},
        {12, 0x1.0000000000002p+1},  // 2^(1/12) rounded, to the twelfth: not quite 2
        {-529, 0x1.e3437e7101283p-45}, // glibc's pow gives ...284, an ulp off
        {12287, 0x1.e3437e71024b4p+1023}, {12288, inf}, {-12263, 0x1.0f38f92d96f9ep-1022},
        {-12264, 0.0}, // just below the normal range {1 << 30, inf}, {-(1 << 30), 0.0},
    };
    for (const auto& c : semitones) EXPECT_EQ(bits(semitone_power(c.k)), bits(c.expected)) << "k = " << c.k;

    struct { double x, expected; } powers[] = {
        {0.0, 1.0}, {-1.0, 0.5}, {10.0, 1024.0}, {0.5, 0x1.6a09e667f3bcdp+0},
        {bend_exponent(70, 1), 0x1.e380925d90c5ep-1}, // glibc's pow gives ...5f
        {1023.9, 0x1.ddb680117aa8ep+1023}, {1024.0, inf}, {-1022.0, 0x1p-1022}, {-1022.5, 0.0},
        {inf, inf}, {-inf, 0.0},
    };
    for (const auto& c : powers) EXPECT_EQ(bits(exact_exp2(c.x)), bits(c.expected)) << "x = " << c.x;
    EXPECT_TRUE(std::isnan(exact_exp2(std::numeric_limits<double>::quiet_NaN())));
}

// Every value the engine can ask for, folded into one number: the same on
// Linux and under Wine, so Windows plays the same pitches to the bit.
TEST(ExactPow, EveryPitchTheEngineUsesHasTheSameBitsEverywhere) {
    uint64_t h = 0xcbf29ce484222325ull;
    auto fold = [&h](double v) {
        h = (h ^ bits(v)) * 0x100000001b3ull;
    };
    for (int k = -60; k <= 100; ++k) fold(semitone_power(k));
    for (int range = 0; range <= 24; ++range)
        for (int wheel = 0; wheel < 16384; ++wheel) fold(exact_exp2(bend_exponent(wheel, range)));
    EXPECT_EQ(h, 0xa6cbccfb51fce021ull) << std::hex << h;
}

// The issue that showed the need: a square wave whose edge falls exactly on
// sample 299 (5.5 cycles of note 93 an octave down, at 96000 Hz).
TEST(ExactPow, SquareEdgeOnASampleFallsTheSameWayEverywhere) {
    synth_engine e(96000.0f);
    e.set(param_id(1, K_WAV, 0), 1);
    e.set(param_id(1, K_FRQ, 0), -12);
    for (int kind : {K_ATTACKLEN, K_DECAYLEN, K_RELEASELEN}) e.set(param_id(1, kind), 1);
    for (int kind : {K_ATTACK, K_DECAY}) e.set(param_id(1, kind), 1.0);
    int16_t out[300];
    const block_event on{0, short_message(0x90, 93, 127)};
    e.render(out, 300, std::span(&on, 1));
    EXPECT_NE(out[298], 0);
    EXPECT_EQ(out[299], 0);
}

#ifndef _WIN32
// Against glibc: the note and pitch-offset factors are its bits exactly (so
// nothing rendered before changes); where a bend factor differs, ours is the
// nearer to the true power, which glibc's pow misses by a hair.
TEST(ExactPow, CorrectlyRoundedAndGlibcsBitsForEveryNoteAndOffset) {
    const double r = std::pow(2.0, 1.0 / 12.0);
    ASSERT_EQ(r, SEMITONE);
    for (int k = -57; k <= 92; ++k) EXPECT_EQ(semitone_power(k), std::pow(r, double(k))) << k;
    auto nearest = [](long double exact, double v) {
        const long double here = std::fabs(exact - (long double)v);
        return here <= std::fabs(exact - (long double)std::nextafter(v, 0.0)) &&
               here <= std::fabs(exact - (long double)std::nextafter(v, 1e300));
    };
    int differ = 0;
    for (int range = 0; range <= 24; ++range)
        for (int wheel = 0; wheel < 16384; wheel += 1) {
            const double x = bend_exponent(wheel, range), ours = exact_exp2(x), glibc = std::pow(2.0, x);
            if (ours == glibc) continue;
            ++differ;
            EXPECT_TRUE(nearest(std::exp2l((long double)x), ours)) << "wheel " << wheel << ", range " << range;
        }
    EXPECT_EQ(differ, 317);
}
#endif
