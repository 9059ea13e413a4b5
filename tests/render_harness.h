// Renders one sequence of note messages and parameter changes through the
// reference renderer and through the shipped one, each from the start-up
// state of one engine, and compares the results. A sequence's actions act on
// that engine (the test's own).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/notes.h"
#include "tests/engine_fixture.h"
#include "tests/oracle.h"

struct timed_action {
    long at; // handed over just before this sample is rendered
    std::function<void(synth_engine&)> act; // a parameter change, or
    unsigned long message = 0;              // without act: a MIDI message
};

struct sequence {
    std::function<void()> setup = [] {};
    std::vector<timed_action> actions; // in time order
    long length = 0;

    sequence& at(long when, std::function<void()> act) {
        actions.push_back({when, [act = std::move(act)](synth_engine&) { act(); }});
        return *this;
    }
    sequence& note(long when, int note, int velocity, int status = 0x90) {
        actions.push_back({when, nullptr, short_message(status, note, velocity)});
        return *this;
    }
};

enum class renderer { oracle, shipped };

// chunk(i) gives the length of the i-th buffer the shipped renderer is asked
// for, with the MIDI messages inside it through the engine's door (cut short
// at the next parameter change); the reference takes every action before
// its sample.
inline std::vector<int16_t> render(synth_engine& engine, const sequence& seq, renderer r,
                                   const std::function<int(long)>& chunk = [](long) { return 1024; },
                                   engine_snapshot* after = nullptr) {
    engine.reset();
    seq.setup();
    std::vector<int16_t> out(size_t(seq.length));
    long pos = 0, calls = 0;
    size_t next = 0;
    auto act = [&](const timed_action& a) {
        if (a.act) a.act(engine);
        else send(engine, a.message);
    };
    std::vector<block_event> inside;
    for (;;) {
        while (next < seq.actions.size() && seq.actions[next].at <= pos) act(seq.actions[next++]);
        if (pos >= seq.length) break;
        long n = (next < seq.actions.size() ? std::min(seq.actions[next].at, seq.length)
                                            : seq.length) - pos;
        if (r == renderer::oracle) {
            oracle_stream(engine, out.data() + pos, int(n));
            pos += n;
            continue;
        }
        // The shipped renderer's buffer runs on past MIDI messages, which go
        // through the door, up to the next parameter change.
        n = std::min<long>(seq.length - pos, std::max(1, chunk(calls++)));
        inside.clear();
        for (size_t k = next; k < seq.actions.size() && seq.actions[k].at < pos + n; ++k) {
            if (seq.actions[k].act) {
                n = seq.actions[k].at - pos;
                break;
            }
            inside.push_back({uint32_t(seq.actions[k].at - pos), seq.actions[k].message});
        }
        next += inside.size();
        engine.render(out.data() + pos, int(n), inside);
        pos += n;
    }
    if (after) *after = snapshot(engine);
    return out;
}

// Every sample within one step of the reference, and where they differ, how
// often and how far.
inline ::testing::AssertionResult within_one(const std::vector<int16_t>& want,
                                             const std::vector<int16_t>& got) {
    if (want.size() != got.size())
        return ::testing::AssertionFailure() << "lengths " << want.size() << " and " << got.size();
    size_t bad = 0, first = 0;
    int worst = 0;
    for (size_t i = 0; i < want.size(); ++i) {
        int d = std::abs(int(want[i]) - int(got[i]));
        if (d > 1 && bad++ == 0) first = i;
        worst = std::max(worst, d);
    }
    if (bad == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << bad << " samples differ by more than 1 (worst " << worst << "), the first at "
           << first << ": reference " << want[first] << ", shipped " << got[first];
}

inline bool any_sound(const std::vector<int16_t>& v) {
    return std::any_of(v.begin(), v.end(), [](int16_t s) { return s != 0; });
}

// The oscillator code the program picked for this processor.
inline const std::string& oscillator_code_at_start() {
    static const std::string code = oscillator_code();
    return code;
}

// Runs each test once per oscillator code the processor has.
class RenderTest : public ::testing::TestWithParam<std::string>, protected engine_under_test {
protected:
    void SetUp() override {
        oscillator_code_at_start();
        previous_ = oscillator_code();
        if (!select_oscillator_code(GetParam().c_str()))
            GTEST_SKIP() << "this processor has no " << GetParam();
    }
    void TearDown() override { select_oscillator_code(previous_.c_str()); }

    // Renders seq both ways and checks samples and final state.
    void compare(const sequence& seq, const std::function<int(long)>& chunk = [](long) { return 1024; }) {
        engine_snapshot a, b;
        auto want = render(engine, seq, renderer::oracle, {}, &a);
        auto got = render(engine, seq, renderer::shipped, chunk, &b);
        EXPECT_TRUE(any_sound(want)) << "the sequence is silent: it tests nothing";
        EXPECT_TRUE(within_one(want, got));
        EXPECT_EQ(a.envpos, b.envpos);
        EXPECT_EQ(a.velocity, b.velocity);
        EXPECT_EQ(a.fadecount, b.fadecount);
        EXPECT_EQ(a.phase, b.phase) << "the time base drifted";
        EXPECT_EQ(a.vibrato_phase, b.vibrato_phase);
        EXPECT_EQ(a.noise, b.noise) << "a different number of noise values was drawn";
    }

private:
    std::string previous_;
};

#define INSTANTIATE_FOR_EVERY_OSCILLATOR_CODE(suite) \
    INSTANTIATE_TEST_SUITE_P(, suite, ::testing::Values("sse2", "avx2", "avx512"), \
                             [](const auto& info) { return info.param; })
