// The synthesizer played for real: a JACK server of our own with the dummy
// back-end, MIDI from the test's client into the live layer's JACK client
// (the first source), and the output recorded sample by sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "captured_output.h"
#include "engine/engine.h"
#include "jack_harness.h"
#include "engine/notes.h"
#include "platform/host.h"
#include "platform/live.h"

namespace {

jack_server* server = nullptr;
bool server_up = false;

class server_environment : public ::testing::Environment {
public:
    void SetUp() override {
        server = &server_;
        server_up = server_.start("dev" + std::to_string(getpid()));
    }
    void TearDown() override { server_.stop(); }

private:
    jack_server server_;
};

const auto* env = ::testing::AddGlobalTestEnvironment(new server_environment);

// Every test here needs the server: without it they fail (not skip).
class WithServer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server_up) << "jackd did not start"; }
};

constexpr int RATE = 44100;
constexpr jack_nframes_t PERIOD = 1024;
jack_nframes_t frames(double seconds) { return jack_nframes_t(seconds * RATE); }
int value(float v) { return int(std::lround(double(v) * 32768.0)); }

class PlayedSynth : public WithServer {
protected:
    void SetUp() override {
        WithServer::SetUp();
        if (HasFatalFailure()) return;
        tester = std::make_unique<jack_tester>(30.0);
        ASSERT_TRUE(tester->ok());
        live_settings s;
        s.audio = "jack";
        std::string why;
        ASSERT_TRUE(live.open(engine, s, &why)) << why;
        ASSERT_STREQ(live.host(), "JACK");
        ASSERT_NE(live.connections().find("MIDI from tester:midi_out"), std::string::npos)
            << live.connections();
        ASSERT_TRUE(tester->record_from("^" + program_name() + "(-[0-9]+)?"));
    }
    void TearDown() override {
        if (!tester) return;
        live.close_stream();
        live.close_midi();
        live.close();
        EXPECT_STREQ(live.host(), "");
        tester.reset();
    }

    void note(jack_nframes_t at, int n, int velocity) {
        tester->send(at, {0x90, (unsigned char)n, (unsigned char)velocity});
    }
    // First frame in [from, to) where channel 0 is not zero, or `to`.
    jack_nframes_t first_sound(jack_nframes_t from, jack_nframes_t to) const {
        for (jack_nframes_t f = from; f != to; ++f)
            if (tester->sample(0, f) != 0.0f) return f;
        return to;
    }
    // The start of the period that holds frame f.
    jack_nframes_t period_start(jack_nframes_t f) const {
        return f - (f - tester->first_frame()) % PERIOD;
    }
    bool silent(jack_nframes_t from, jack_nframes_t to) const { return first_sound(from, to) == to; }

    std::unique_ptr<jack_tester> tester;
    synth_engine engine;
    live_session live;
    instrument& i1 = engine.i1;
};

TEST_F(PlayedSynth, HeldNoteSoundsAt440HzOnBothSpeakersAndFallsSilentAfterRelease) {
    // The stream's two channels go to the server's two playback ports.
    const char* ports[] = {"system:playback_1", "system:playback_2"};
    for (int k = 0; k < 2; ++k) {
        jack_port_t* p = jack_port_by_name(tester->client(), ports[k]);
        ASSERT_NE(p, nullptr);
        const char** from = jack_port_get_all_connections(tester->client(), p);
        ASSERT_NE(from, nullptr) << ports[k] << " is not connected";
        bool ours = false;
        for (int i = 0; from[i]; ++i) ours |= std::string(from[i]).rfind(program_name(), 0) == 0;
        jack_free(from);
        EXPECT_TRUE(ours) << ports[k] << " does not hear the synthesizer";
    }

    jack_nframes_t on = 0, off = 0, end = 0;
    if (!clean_take(*tester, [&] {
            const jack_nframes_t t0 = tester->now() + frames(0.2);
            note(t0, 57, 127);
            note(t0 + frames(1.3), 57, 0);
            end = t0 + frames(1.6);
            const bool covered = tester->wait_for(end);
            EXPECT_TRUE(covered) << "the recording stopped";
            on = tester->sent_frame(0), off = tester->sent_frame(1);
            return covered;
        }))
        return;
    ASSERT_NE(on, 0u);

    const jack_nframes_t early = first_sound(on - frames(0.15), on);
    EXPECT_EQ(early, on) << "sound before the first note, " << on - early << " frames before it: "
                         << value(tester->sample(0, early));
    const jack_nframes_t first = first_sound(on, on + frames(1.0));
    EXPECT_LE(first - on, PERIOD) << "the note did not sound within a period";

    // The held note: default instrument 1, one sine at full volume, sustain
    // level 1, velocity 127 (level 126): 126 * 0.2 * 256 = 6451.
    int rising = 0, peak = 0;
    bool exact = true, same = true;
    for (jack_nframes_t f = first + frames(0.1); f != first + frames(1.1); ++f) {
        float a = tester->sample(0, f), b = tester->sample(1, f);
        exact &= double(a) * 32768.0 == std::round(double(a) * 32768.0);
        same &= a == b;
        peak = std::max(peak, std::abs(value(a)));
        if (tester->sample(0, f - 1) < 0.0f && a >= 0.0f) ++rising;
    }
    EXPECT_TRUE(exact) << "recorded samples are not the 16-bit values the callback wrote";
    EXPECT_TRUE(same) << "the two speakers differ";
    EXPECT_NEAR(rising, 440, 2) << "zero crossings per second";
    EXPECT_GE(peak, 6440);
    EXPECT_LE(peak, 6451);

    // The release of 100 samples runs out within the period that takes it.
    EXPECT_TRUE(silent(off + 3 * PERIOD, end)) << "still sounding after the release";
    EXPECT_FALSE(silent(off - frames(0.1), off)) << "fell silent before the release";
}

TEST_F(PlayedSynth, NoNoteIsLostAmongAHundredFastNotes) {
    // Short blips: a 10-sample attack, then a 200-sample decay to silence.
    i1.at(K_ATTACKLEN) = 10;
    i1.at(K_DECAYLEN) = 200;
    i1.at(K_DECAY) = 0.0;
    const int N = 100;
    // One note in each period, at varying places, released 100 frames later:
    // every note-on and its release must be taken in order. Each note now
    // sounds from its own frame, so the places vary over 400 frames only:
    // notes stay at least 624 frames apart and their sounds apart.
    jack_nframes_t t0 = 0, end = 0;
    if (!clean_take(*tester, [&] {
            t0 = period_start(tester->now() + frames(0.2));
            for (int k = 0; k < N; ++k) {
                jack_nframes_t at = t0 + jack_nframes_t(k) * PERIOD + jack_nframes_t(k * 37 % 400);
                note(at, 30 + k % 60, 100);
                note(at + 100, 30 + k % 60, 0);
            }
            end = t0 + jack_nframes_t(N + 4) * PERIOD;
            const bool covered = tester->wait_for(end);
            EXPECT_TRUE(covered) << "the recording stopped";
            EXPECT_EQ(tester->events_sent(), 2 * N);
            return covered && tester->events_sent() == 2 * N;
        }))
        return;

    // Count runs of sound separated by at least 400 silent samples.
    int blips = 0;
    jack_nframes_t last_sound = 0;
    bool any = false;
    for (jack_nframes_t f = t0 - PERIOD; f != end; ++f) {
        if (tester->sample(0, f) == 0.0f) continue;
        if (!any || f - last_sound > 400) ++blips;
        any = true;
        last_sound = f;
    }
    EXPECT_EQ(blips, N);
    for (int n = 0; n < NOTES; ++n) EXPECT_EQ(engine.noteon[n], 0) << "note " << n << " still held";
}

} // namespace
