// The device layers without any device: the failure paths as on a machine
// with no JACK server and no ALSA device, the message box, and the pure
// helpers the layers are built from.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "captured_output.h"
#include "engine/engine.h"
#include "engine/midi_message.h"
#include "platform/live.h"
#include "platform/midi_sources.h"
#include "platform/msgbox.h"
#include "platform/sound_output.h"

namespace {

// No JACK server answers to this name. (ALSA devices cannot be hidden: the
// tests that need none skip themselves on a machine with sound hardware.)
class no_jack : public ::testing::Environment {
public:
    void SetUp() override {
        std::string none = "dev" + std::to_string(getpid()) + "-none";
        setenv("JACK_DEFAULT_SERVER", none.c_str(), 1);
        setenv("JACK_NO_START_SERVER", "1", 1);
    }
};
const auto* env = ::testing::AddGlobalTestEnvironment(new no_jack);

bool sound_hardware() { return access("/dev/snd", F_OK) == 0; }
#define SKIP_WITH_SOUND_HARDWARE() \
    if (sound_hardware()) GTEST_SKIP() << "this machine has ALSA devices"

void never_fill(void*, int, void*) { ADD_FAILURE() << "a sound callback ran without an output"; }
void never_take(unsigned long, void*) { ADD_FAILURE() << "a MIDI callback ran without a source"; }

// What the program does on a machine without devices, as it does it: every
// call fails quietly, with a reason where the musician is told one.
TEST(NoDevices, EveryCallFailsQuietlyWithAReason) {
    SKIP_WITH_SOUND_HARDWARE();
    captured_output out;
    const struct {
        const char* audio;
        bool opens;
        const char* why;
        const char* failures; // each output tried, and why it failed
        sound_error_code error;
    } choices[] = {
        {"alsa", false, "no ALSA output device", "no ALSA output device", sound_no_device},
        {"jack", false, "no JACK server answers", "no JACK server answers", sound_ok},
        {"auto", true, "", "no JACK server answers; no ALSA output device", sound_no_device}, // the panel runs silent
        {"none", true, "", "", sound_ok},
    };
    for (const auto& c : choices) {
        live_settings s;
        s.audio = c.audio;
        s.midi = midi_choice::all;
        std::string why;
        synth_engine engine;
        live_session live;
        EXPECT_EQ(live.open(engine, s, &why), c.opens) << c.audio;
        EXPECT_EQ(why, c.why);
        EXPECT_EQ(live.failures(), c.failures);
        EXPECT_STREQ(live.host(), "");
        EXPECT_EQ(live.connections(), "no audio output; no MIDI input");
        EXPECT_EQ(live.sound_error(), c.error) << c.audio;
        live.close_stream();
        live.close_midi();
        live.close();
    }
    sound_error_code error = sound_ok;
    EXPECT_EQ(sound_open(sound_host::alsa, {2, sample_format::float32, 48000, 64}, never_fill, nullptr, &error),
              nullptr);
    EXPECT_EQ(error, sound_no_device);
    EXPECT_FALSE(sound_start(nullptr, &error));
    sound_stop(nullptr);
    sound_close(nullptr);
    EXPECT_EQ(midi_source_open(0, never_take, nullptr), nullptr);
    midi_source_close(nullptr);
    EXPECT_EQ(live_session::devices(), "audio outputs (ALSA, the first is used, at --rate: 44100 Hz unless given):\n"
                              "  (none)\n"
                              "MIDI sources (ALSA sequencer):\n"
                              "  (none)\n");
    EXPECT_EQ(out.text(), "") << "a library printed";
}

// One rule on every system: ALSA's and JACK's port names, WinMM's device names.
TEST(MidiSources, LoopbackAndOwnPortsAreNotDevices) {
    const std::string own = "synth";
    const struct { const char* name; bool usable; } ports[] = {
        {"Midi Through:Midi Through Port-0 14:0", false},
        {"a2j:Midi Through [14] (capture): Midi Through Port-0", false},
        {"MIDI THROUGH", false},
        {"loopMIDI Port", true}, // a virtual cable another program plays into
        {"Windows MIDI loopback", false},
        {"LOOPBACK 1", false},
        {"synth:MIDI in", false},
        {"synth-01:MIDI in", false},
        {"synth:MIDI in 128:0", false},
        {"Keystation 49:Keystation 49 MIDI 1 20:0", true},
        {"tester:midi_out", true},
        {"synthbox:out", true}, // another client whose name starts alike
        {"synth-pad:out", true},
        {"synth-:out", true},
    };
    for (const auto& p : ports) EXPECT_EQ(midi_source_usable(p.name, own), p.usable) << p.name;
}

// first: one source, the first; all: the physical ones; a name: those that
// contain it, wherever and however many.
TEST(MidiSources, TheChoiceTakesWhatItSays) {
    live_settings first, all, named, none;
    all.midi = midi_choice::all;
    named.midi = midi_choice::named;
    named.midi_name = "Key";
    none.midi = midi_choice::none;
    const struct {
        const live_settings& s;
        const char* name;
        bool physical;
        int taken;
        bool wanted;
    } cases[] = {
        {first, "seq:out", false, 0, true},       {first, "keys:out", true, 1, false},
        {all, "keys:out", true, 3, true},         {all, "seq:out", false, 0, false},
        {named, "Keystation 49", true, 2, true},  {named, "Keystation 49", false, 0, true},
        {named, "keystation", true, 0, false},    {none, "keys:out", true, 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(midi_source_wanted(c.s, c.name, c.physical, c.taken), c.wanted) << c.name << " " << c.taken;
}

std::string shown_text, shown_caption;
void remember(const char* text, const char* caption) {
    shown_text = text;
    shown_caption = caption;
}

TEST(MessageBox, WritesTheTextToStderrAndUsesTheProgramsBoxWhenHandedIn) {
    const char* display = std::getenv("DISPLAY");
    std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    {
        captured_output out;
        message_box("Needs 16, 24, or 32 bit color", "Error");
        EXPECT_EQ(out.text(), "Error: Needs 16, 24, or 32 bit color\n");
    }
    {
        captured_output out;
        message_box("Error", "SetOutput", remember);
        EXPECT_EQ(out.text(), "SetOutput: Error\n");
    }
    EXPECT_EQ(shown_text, "Error");
    EXPECT_EQ(shown_caption, "SetOutput");
    if (!saved.empty()) setenv("DISPLAY", saved.c_str(), 1);
}

// A box that cannot be shown (no X server at DISPLAY) ends at once, and the
// text that nobody reads must not kill the program with a broken pipe: the
// text is larger than a pipe holds, so the write surely meets the closed end.
TEST(MessageBox, ABoxThatCannotBeShownDoesNotEndTheProgram) {
    const char* display = std::getenv("DISPLAY");
    std::string saved = display ? display : "";
    setenv("DISPLAY", ":4093", 1); // no server answers there
    std::string text(256 * 1024, 'x');
    {
        captured_output out;
        message_box(text.c_str(), "Error");
        EXPECT_EQ(out.text().size(), text.size() + 8); // "Error: " ... "\n"
    }
    if (saved.empty()) unsetenv("DISPLAY");
    else setenv("DISPLAY", saved.c_str(), 1);
}

// Runs a command, its output thrown away; its exit status.
int run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

// An X server of the test's own, on the first free display; stopped by
// process id.
struct xvfb {
    pid_t pid = -1;
    std::string display;
    bool start() {
        int fds[2];
        if (pipe(fds) != 0) return false;
        pid = fork();
        if (pid == 0) {
            int devnull = open("/dev/null", O_WRONLY);
            dup2(devnull, 2);
            close(fds[0]);
            std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp",
                   (char*)nullptr);
            _exit(127);
        }
        close(fds[1]);
        char num[16] = {};
        ssize_t got = read(fds[0], num, sizeof num - 1);
        close(fds[0]);
        if (got <= 0) return false;
        display = ":" + std::to_string(std::atoi(num));
        return true;
    }
    bool answers() const { return run("DISPLAY=" + display + " xdotool getmouselocation") == 0; }
    ~xvfb() {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
};

// A real box: it stays up, and message_box with it, until OK is pressed.
TEST(MessageBox, BlocksUntilTheBoxIsDismissed) {
    if (run("command -v Xvfb") != 0 || run("command -v xdotool") != 0 || run("command -v xmessage") != 0)
        GTEST_SKIP() << "Xvfb, xdotool or xmessage missing";
    const char* display = std::getenv("DISPLAY");
    std::string saved = display ? display : "";
    // Other programs on this machine start and stop X servers too; an attempt
    // whose server went away under it is made again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        xvfb x;
        ASSERT_TRUE(x.start()) << "Xvfb did not start";
        setenv("DISPLAY", x.display.c_str(), 1);
        std::atomic<bool> returned{false};
        std::thread box([&] {
            captured_output out; // keep the test's own output clean
            message_box("-title is text here", "Box test");
            returned = true;
        });
        bool found = run("timeout 10 xdotool search --sync --name '^Box test$'") == 0;
        if (found) {
            EXPECT_FALSE(returned) << "returned while the box was up";
            run("xdotool search --name '^Box test$' key --window %1 Return");
        }
        for (int k = 0; k < 500 && !returned; ++k) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!returned) run("xdotool search --name '^Box test$' windowkill");
        box.join();
        if (!found && !x.answers()) continue;
        EXPECT_TRUE(found) << "no window with the caption";
        EXPECT_TRUE(returned) << "still blocked after OK";
        break;
    }
    if (saved.empty()) unsetenv("DISPLAY");
    else setenv("DISPLAY", saved.c_str(), 1);
}

} // namespace
