// The real program (build/synth --no-gui) played through a JACK server of the
// test's own: notes sent at chosen frames must come out exactly as an
// in-process engine renders the same messages at the same frames, sample for
// sample, at a short and a long period and at other rates. Also: the choice of MIDI sources,
// including one that appears while the program runs, and the shutdown on
// SIGTERM; and, with no output at all, the silent run and the line saying why.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <jack/midiport.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "jack_harness.h"
#include "engine/notes.h"

extern char** environ;

namespace {

// build/synth as a child with its standard output (and, if asked, its
// standard error) on a pipe.
class program {
public:
    explicit program(std::vector<std::string> args, bool errors_too = false) {
        int fds[2];
        if (pipe(fds) != 0) return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
        if (errors_too) posix_spawn_file_actions_adddup2(&fa, fds[1], 2);
        posix_spawn_file_actions_addclose(&fa, fds[0]);
        args.insert(args.begin(), SYNTH_PROGRAM);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, SYNTH_PROGRAM, &fa, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
        close(fds[1]);
        out_ = fds[0];
    }
    ~program() {
        if (pid_ > 0) stop();
        if (out_ >= 0) close(out_);
    }
    // The first line it prints, waiting up to 10 s.
    std::string line() {
        std::string s;
        char c;
        while (s.find('\n') == std::string::npos) {
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, 10000) != 1 || read(out_, &c, 1) != 1) break;
            s += c;
        }
        return s;
    }
    // SIGTERM, then its exit status (-1 when it did not exit by itself).
    int stop() {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

struct server_setup { int period, rate; };
class LiveTiming : public ::testing::TestWithParam<server_setup> {};

TEST_P(LiveTiming, NotesSoundFromTheirOwnFrameExactlyAsRenderedOffline) {
    const jack_nframes_t P = jack_nframes_t(GetParam().period);
    const int RATE = GetParam().rate;
    jack_server server;
    ASSERT_TRUE(server.start("live" + std::to_string(getpid()) + "-" + std::to_string(P), int(P), RATE));
    jack_tester tester(20.0);
    ASSERT_TRUE(tester.ok());
    program synth({"--no-gui", "--audio", "jack", "--midi", "tester", "--mode", "fade"});
    const std::string said = synth.line();
    EXPECT_NE(said.find("JACK client synth (" + std::to_string(P) + " frames, " + std::to_string(RATE) + " Hz)"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("audio to system:playback_1, system:playback_2"), std::string::npos) << said;
    EXPECT_NE(said.find("MIDI from tester:midi_out"), std::string::npos) << said;
    ASSERT_TRUE(tester.record_from("^synth"));

    // Notes at every sort of place in a period, some shorter than a period,
    // a note-on and its note-off in one cycle, a chord, two instruments, and
    // the sustain pedal.
    struct note { jack_nframes_t at, length; int key, velocity; };
    const std::vector<note> notes = {
        {0, 1700, 57, 127}, {3001, 40, 60, 90},  {3100, 9000, 64, 100}, {3100, 9000, 67, 70},
        {7777, 1, 72, 127}, {9000, 500, 45, 30}, {14000, 2, 50, 127},  {14063, 3000, 52, 64},
    };
    struct message { jack_nframes_t at; unsigned char status, key, velocity; }; // frames after the first note
    // The sustain pedal down over a release and a short note, up mid-period.
    std::vector<message> sent = {{1000, 0xB0, 64, 127}, {6003, 0xB0, 64, 0}};
    for (const note& n : notes) {
        sent.push_back({n.at, 0x90, (unsigned char)n.key, (unsigned char)n.velocity});
        sent.push_back({n.at + n.length, 0x90, (unsigned char)n.key, 0});
    }
    std::stable_sort(sent.begin(), sent.end(), [](auto& a, auto& b) { return a.at < b.at; });
    const jack_nframes_t lead = 2 * P, length = lead + 20000 + 2 * P; // from t0 - lead

    // The same messages at the same frames, rendered here from silence.
    synth_engine offline(RATE);
    offline.set(param_id(0, K_MODE), 4); // both instruments on every note
    std::vector<float> expected(length);
    jack_nframes_t done = 0;
    for (const message& m : sent) {
        offline.render(expected.data() + done, int(m.at + lead - done));
        done = m.at + lead;
        offline.midi(short_message(m.status, m.key, m.velocity));
    }
    offline.render(expected.data() + done, int(length - done));

    jack_nframes_t t0 = 0;
    const bool clean = clean_take(tester, [&] {
        t0 = tester.now() + RATE / 10 + 17;
        for (const message& m : sent) tester.send(t0 + m.at, {m.status, m.key, m.velocity});
        const bool covered = tester.wait_for(t0 + 20000 + 3 * P);
        EXPECT_TRUE(covered) << "the recording stopped";
        // Every event leaves at its own frame even when the server loses a cycle later.
        EXPECT_EQ(tester.events_sent(), int(sent.size()));
        return covered && tester.events_sent() == int(sent.size());
    });
    if (!clean) return;
    for (size_t k = 0; k < sent.size(); ++k) ASSERT_EQ(tester.sent_frame(int(k)), t0 + sent[k].at) << "event " << k;

    // The recorder hears the program in the same cycle, or (when the server
    // runs it first) one period later: one of the two shifts fits exactly.
    const jack_nframes_t from = t0 - lead;
    int fits = 0;
    jack_nframes_t best = 0, best_shift = 0;
    for (jack_nframes_t shift : {jack_nframes_t(0), P}) {
        jack_nframes_t same = 0;
        while (same < length && tester.sample(0, from + shift + same) == expected[same] &&
               tester.sample(1, from + shift + same) == expected[same])
            ++same;
        if (same == length) ++fits;
        if (same > best) best = same, best_shift = shift;
    }
    EXPECT_EQ(fits, 1) << "the longest exact run is " << best << " of " << length << " samples at shift "
                       << best_shift << " (a clean take: " << tester.xruns() << " xruns)";
    EXPECT_EQ(synth.stop(), 0) << "SIGTERM should end the program normally";
}

INSTANTIATE_TEST_SUITE_P(Servers, LiveTiming,
                         ::testing::Values(server_setup{64, 44100}, server_setup{1024, 44100},
                                           server_setup{256, 48000}, server_setup{256, 96000}),
                         [](const auto& info) {
                             return std::to_string(info.param.period) + "Frames" +
                                    std::to_string(info.param.rate) + "Hz";
                         });

// A client with one MIDI output of the given name, physical or not.
struct midi_source {
    jack_client_t* client = nullptr;
    midi_source(const char* client_name, bool physical) {
        jack_status_t st;
        client = jack_client_open(client_name, JackNoStartServer, &st);
        if (!client) return;
        jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE,
                           JackPortIsOutput | (physical ? JackPortIsPhysical : 0), 0);
        jack_activate(client);
    }
    ~midi_source() {
        if (client) jack_client_close(client);
    }
};

bool connected(jack_client_t* c, const std::string& from, const std::string& to, double seconds = 3.0) {
    auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    do {
        jack_port_t* p = jack_port_by_name(c, to.c_str());
        if (p && jack_port_connected_to(p, from.c_str())) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < until);
    return false;
}

TEST(LiveSources, EachChoiceTakesItsSourcesAndAllTakesAPhysicalOneThatAppearsLater) {
    jack_server server;
    ASSERT_TRUE(server.start("live" + std::to_string(getpid()) + "-src", 256));
    midi_source thru("Midi-Through", true), keys("keys", true), seq("seq", false);
    ASSERT_TRUE(thru.client && keys.client && seq.client);
    struct { const char* choice; bool thru, keys, seq; } cases[] = {
        {"first", false, true, false}, // the first that is no loopback
        {"seq", false, false, true},   // by name
        {"all", false, true, false},   // physical ones only
        {"none", false, false, false},
    };
    for (const auto& c : cases) {
        program synth({"--no-gui", "--audio", "jack", "--midi", c.choice});
        EXPECT_NE(synth.line().find("JACK client"), std::string::npos) << c.choice;
        const bool want[] = {c.thru, c.keys, c.seq};
        const char* names[] = {"Midi-Through:out", "keys:out", "seq:out"};
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(connected(keys.client, names[k], "synth:midi_in", want[k] ? 3.0 : 0.3), want[k])
                << "--midi " << c.choice << ", " << names[k];
        if (std::string(c.choice) == "all") {
            midi_source later("later", true);
            EXPECT_TRUE(connected(keys.client, "later:out", "synth:midi_in")) << "a source plugged in later";
        }
        EXPECT_EQ(synth.stop(), 0);
    }
}

// No JACK server and no ALSA output device: the program plays silent, says
// so on its start line, and says on standard error which outputs it tried
// and why each failed.
TEST(LiveSilent, WithNoOutputAtAllEachOneTriedIsNamedWithItsReason) {
    if (access("/dev/snd", F_OK) == 0) GTEST_SKIP() << "this machine has ALSA devices";
    setenv("JACK_DEFAULT_SERVER", ("live" + std::to_string(getpid()) + "-none").c_str(), 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    program synth({"--no-gui", "--midi", "none"}, true);
    EXPECT_EQ(synth.line(), "synth: no sound: no JACK server answers; no ALSA output device\n");
    EXPECT_EQ(synth.line(), "synth: no audio output; no MIDI input\n");
    EXPECT_EQ(synth.stop(), 0);
}

} // namespace
