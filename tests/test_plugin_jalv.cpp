// The plugin in a real host: jalv runs it as a JACK client of the test's own
// dummy server; the test's client plays notes into it at chosen frames and
// records what it plays, which must equal the engine's samples for the same
// messages at the same frames.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "tests/jack_harness.h"

extern char** environ;

namespace {

// jalv with its standard input an open pipe (it leaves at end of input).
class jalv_process {
public:
    bool start(const std::string& name) {
        if (pipe(stdin_) != 0) return false;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, stdin_[0], 0);
        posix_spawn_file_actions_addclose(&fa, stdin_[1]);
        posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
        setenv("LV2_PATH", SYNTH_LV2_DIR, 1);
        std::string n = name;
        char* argv[] = {const_cast<char*>("jalv"), const_cast<char*>("-x"), const_cast<char*>("-n"),
                        n.data(), const_cast<char*>("urn:synth:additive"), nullptr};
        const int rc = posix_spawnp(&pid_, "jalv", &fa, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&fa);
        close(stdin_[0]);
        return rc == 0;
    }
    ~jalv_process() {
        if (pid_ <= 0) return;
        close(stdin_[1]);
        kill(pid_, SIGTERM);
        int status;
        waitpid(pid_, &status, 0);
    }

private:
    pid_t pid_ = -1;
    int stdin_[2] = {-1, -1};
};

bool wait_for_port(jack_client_t* c, const std::string& port) {
    for (int i = 0; i < 300; ++i) {
        if (jack_port_by_name(c, port.c_str())) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

} // namespace

TEST(PluginInJalv, PlaysNotesAtTheirFrames) {
    jack_server server;
    ASSERT_TRUE(server.start("plug" + std::to_string(getpid()), 256));
    jack_tester tester(12.0);
    ASSERT_TRUE(tester.ok());
    jalv_process jalv;
    const std::string name = "synthplug" + std::to_string(getpid());
    ASSERT_TRUE(jalv.start(name));
    ASSERT_TRUE(wait_for_port(tester.client(), name + ":lv2_audio_out_2")) << "jalv did not come up";
    // The ports exist before jalv activates its client; connecting waits for that.
    const char* midi_out = jack_port_name(jack_port_by_name(tester.client(), "tester:midi_out"));
    int connected = -1;
    for (int i = 0; i < 100 && connected != 0; ++i) {
        connected = jack_connect(tester.client(), midi_out, (name + ":lv2_events_in").c_str());
        if (connected != 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_EQ(connected, 0);
    ASSERT_TRUE(tester.record_from(name));

    // Notes on several channels (the plugin takes every channel by default),
    // at frames that fall anywhere in a period.
    struct note { jack_nframes_t at; unsigned char s, n, v; };
    const std::vector<note> notes = {
        {0, 0x90, 57, 127}, {301, 0x93, 64, 90}, {1000, 0x90, 57, 0}, {5000, 0x80, 64, 0},
        {9000, 0x9F, 69, 100}, {9001, 0x90, 45, 60}, {14000, 0x90, 69, 0}, {14100, 0x90, 45, 0}};
    jack_nframes_t sent = 0;
    if (!clean_take(tester, [&] {
            const jack_nframes_t start = tester.now() + 44100 / 10;
            for (const note& n : notes) tester.send(start + n.at, {n.s, n.n, n.v});
            const bool covered = tester.wait_for(start + 20000 + 2048);
            EXPECT_TRUE(covered) << "the recording stopped";
            sent = tester.sent_frame(0);
            return covered;
        }))
        return;
    ASSERT_NE(sent, 0u);

    synth_engine want;
    want.channel = 0;
    std::vector<int16_t> ref(20000);
    jack_nframes_t pos = 0;
    for (const note& n : notes) {
        if (n.at > pos) want.render(ref.data() + pos, int(n.at - pos));
        pos = n.at;
        want.midi(n.s | n.n << 8 | n.v << 16);
    }
    want.render(ref.data() + pos, int(ref.size() - pos));

    // The same samples, from the frame the first note left at (a shift of
    // up to one period where the host's cycle comes after the recorder's).
    int shift = -1;
    for (int d = 0; d <= 256 && shift < 0; ++d) {
        bool same = true;
        for (size_t i = 0; i < ref.size() && same; ++i)
            same = tester.sample(0, sent + d + jack_nframes_t(i)) * 32768.0f == float(ref[i]) &&
                   tester.sample(1, sent + d + jack_nframes_t(i)) * 32768.0f == float(ref[i]);
        if (same) shift = d;
    }
    EXPECT_GE(shift, 0) << "the recording never equals the engine's samples";
}
