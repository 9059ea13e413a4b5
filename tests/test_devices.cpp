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
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "captured_output.h"
#include "engine/engine.h"
#include "midi/midi_input.h"
#include "engine/notes.h"
#include "platform/block_feed.h"
#include "platform/fsound.h"
#include "platform/msgbox.h"
#include "platform/winmidi.h"

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

signed char never_called(FSOUND_STREAM*, void*, int, int) {
    ADD_FAILURE() << "a stream callback ran without an output";
    return 1;
}

// The start-up and shutdown of the program in its order, on a machine
// without devices: every call fails quietly and the engine keeps its state.
TEST(NoDevices, StartAndShutdownFailQuietlyAndKeepTheEngineState) {
    SKIP_WITH_SOUND_HARDWARE();
    engine_init();
    multimode = 4;
    i1.vol[3] = 0.5;
    noteon[60] = 99;
    const uint32_t noise = noise_state();

    captured_output out;
    EXPECT_EQ(FSOUND_SetOutput(FSOUND_OUTPUT_ASIO), 0);
    EXPECT_NE(FSOUND_GetError(), FMOD_ERR_NONE);
    FSOUND_SetDriver(0);
    EXPECT_EQ(FSOUND_Init(44100, 16, 0), 0);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INIT);
    initmidi(0);
    midiopen();
    EXPECT_EQ(device, nullptr);
    FSOUND_STREAM* stream = FSOUND_Stream_Create(streamcallback, streamsamples, 0x130, 44100, 0);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_UNINITIALIZED);
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, stream), -1);
    EXPECT_EQ(FSOUND_Stream_Close(stream), 0);
    midiclose();
    EXPECT_EQ(device, nullptr);
    FSOUND_Close();
    FSOUND_Close(); // a second close is harmless
    EXPECT_EQ(out.text(), "") << "a library printed";

    EXPECT_EQ(multimode, 4);
    EXPECT_EQ(i1.vol[3], 0.5);
    EXPECT_EQ(noteon[60], 99);
    EXPECT_EQ(noise_state(), noise) << "the engine rendered";
    EXPECT_EQ(oscvibrato, 0.0);
}

TEST(NoDevices, MidiCallsFailQuietly) {
    SKIP_WITH_SOUND_HARDWARE();
    captured_output out;
    EXPECT_EQ(midiInGetNumDevs(), 0u);
    HMIDIIN h = nullptr;
    auto cb = (unsigned long)&midiCallback;
    EXPECT_EQ(midiInOpen(&h, 0, cb, 0, CALLBACK_FUNCTION), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(h, nullptr);
    initmidi(-1); // far beyond any device count
    midiopen();
    EXPECT_EQ(device, nullptr);
    initmidi(0);
    EXPECT_EQ(out.text(), "");
}

TEST(BadArguments, AreRefusedWithoutTouchingTheHandles) {
    HMIDIIN h = nullptr;
    auto cb = (unsigned long)&midiCallback;
    EXPECT_EQ(midiInOpen(nullptr, 0, cb, 0, CALLBACK_FUNCTION), MMSYSERR_INVALPARAM);
    EXPECT_EQ(midiInOpen(&h, 0, 0, 0, CALLBACK_FUNCTION), MMSYSERR_INVALPARAM);
    EXPECT_EQ(midiInOpen(&h, 0, cb, 0, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(h, nullptr);

    // Handles that were never opened (or are long closed) are not followed.
    int junk[64] = {};
    HMIDIIN bogus = reinterpret_cast<HMIDIIN>(junk);
    for (HMIDIIN x : {HMIDIIN(nullptr), bogus}) {
        EXPECT_EQ(midiInStart(x), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(midiInReset(x), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(midiInClose(x), MMSYSERR_INVALHANDLE);
    }
    FSOUND_STREAM* fake = reinterpret_cast<FSOUND_STREAM*>(junk);
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, fake), -1);
    EXPECT_EQ(FSOUND_Stream_Close(fake), 0);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);

    // Formats and sizes the layer cannot give, refused before anything else.
    struct { FSOUND_STREAMCALLBACK cb; int len; unsigned mode; int rate; } bad[] = {
        {nullptr, 2048, 0x130, 44100},     {never_called, 0, 0x130, 44100},
        {never_called, 1, 0x130, 44100},   {never_called, -2048, 0x130, 44100},
        {never_called, 2048, 0x150, 44100}, // stereo
        {never_called, 2048, 0x128, 44100}, // 8-bit
        {never_called, 2048, 0x100, 44100}, // no sample size
        {never_called, 2048, 0x130, 0},
    };
    for (auto& b : bad) {
        EXPECT_EQ(FSOUND_Stream_Create(b.cb, b.len, b.mode, b.rate, 0), nullptr);
        EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM) << b.len << " " << b.mode << " " << b.rate;
    }
    EXPECT_EQ(FSOUND_SetOutput(4), 0);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_OUTPUT_FORMAT);
    EXPECT_EQ(FSOUND_SetDriver(1), 0);
    FSOUND_Close();
}

TEST(MidiDevice, OnlyDataMessagesReachTheNoteState) {
    engine_init();
    const unsigned long on = short_message(0x90, 60, 100);
    for (unsigned msg : {unsigned(MIM_OPEN), unsigned(MIM_CLOSE), 0x3C4u, 0x3C5u, 0x3C6u, 0x3CCu})
        midiCallback(nullptr, msg, 0, on, 0);
    EXPECT_EQ(noteon[60], 0);
    midiCallback(nullptr, MIM_DATA, 0, on, 0);
    EXPECT_EQ(noteon[60], 100);
}

TEST(MidiDevice, CloseWithoutOpenDoesNothingAndAFailedCloseKeepsTheHandle) {
    device = nullptr;
    midiclose();
    EXPECT_EQ(device, nullptr);
    int junk[64] = {};
    device = reinterpret_cast<HMIDIIN>(junk); // the layer refuses to reset it
    midiclose();
    EXPECT_EQ(device, reinterpret_cast<HMIDIIN>(junk));
    device = nullptr;
}

TEST(MidiSources, LoopbackAndOwnPortsAreNotDevices) {
    const std::string own = "synth";
    EXPECT_FALSE(midi_source_usable("Midi Through:Midi Through Port-0 14:0", own));
    EXPECT_FALSE(midi_source_usable("a2j:Midi Through [14] (capture): Midi Through Port-0", own));
    EXPECT_FALSE(midi_source_usable("MIDI THROUGH", own));
    EXPECT_FALSE(midi_source_usable("synth:MIDI in", own));
    EXPECT_FALSE(midi_source_usable("synth-01:MIDI in", own));
    EXPECT_FALSE(midi_source_usable("synth:MIDI in 128:0", own));
    EXPECT_TRUE(midi_source_usable("Keystation 49:Keystation 49 MIDI 1 20:0", own));
    EXPECT_TRUE(midi_source_usable("tester:midi_out", own));
    EXPECT_TRUE(midi_source_usable("synthbox:out", own)); // another client whose name starts alike
    EXPECT_TRUE(midi_source_usable("synth-pad:out", own));
    EXPECT_TRUE(midi_source_usable("synth-:out", own));
}

TEST(MidiSources, ShortMessagesArePackedAndOthersDropped) {
    auto pack = [](std::vector<unsigned char> b, unsigned long* v) {
        return pack_short_message(b.data(), b.size(), v);
    };
    unsigned long v = 0;
    ASSERT_TRUE(pack({0x90, 57, 127}, &v));
    EXPECT_EQ(v, short_message(0x90, 57, 127));
    ASSERT_TRUE(pack({0xC0, 5}, &v));
    EXPECT_EQ(v, 0x05C0ul);
    ASSERT_TRUE(pack({0xF8}, &v)); // clock: a short message like any other
    EXPECT_EQ(v, 0xF8ul);
    v = 7;
    EXPECT_FALSE(pack({}, &v));
    EXPECT_FALSE(pack({0xF0, 0x7E, 0xF7}, &v)); // system-exclusive
    EXPECT_FALSE(pack({0xF7}, &v));
    EXPECT_FALSE(pack({0x90, 60, 100, 0}, &v));
    EXPECT_FALSE(pack({60, 100}, &v));       // no status byte
    EXPECT_FALSE(pack({0x90, 0x80, 1}, &v)); // data byte with its top bit set
    EXPECT_EQ(v, 7ul);
}

// The callback fills numbered blocks; the host asks for odd amounts.
TEST(BlockFeed, EverySamplePlaysOnceInOrderOnEveryChannel) {
    int16_t block[5];
    int next = 0, calls = 0;
    block_feed feed(block, 5);
    auto fill = [&] {
        ++calls;
        for (int16_t& s : block) s = int16_t(next++);
        return true;
    };
    std::vector<int16_t> out;
    for (unsigned long n : {1ul, 7ul, 0ul, 3ul, 10ul, 2ul}) {
        std::vector<int16_t> buf(n * 2, -1);
        EXPECT_TRUE(feed.write(buf.data(), n, 2, fill));
        for (unsigned long f = 0; f < n; ++f) {
            EXPECT_EQ(buf[2 * f], buf[2 * f + 1]);
            out.push_back(buf[2 * f]);
        }
    }
    ASSERT_EQ(out.size(), 23u);
    for (int k = 0; k < 23; ++k) EXPECT_EQ(out[size_t(k)], k);
    EXPECT_EQ(calls, 5); // a block is asked for only when the last one is used up
}

TEST(BlockFeed, AStopAnswerPlaysThatBlockThenSilence) {
    int16_t block[4];
    int calls = 0;
    block_feed feed(block, 4);
    auto fill = [&] {
        ++calls;
        for (int16_t& s : block) s = int16_t(10 * calls);
        return calls < 2;
    };
    int16_t buf[6];
    EXPECT_TRUE(feed.write(buf, 6, 1, fill));
    EXPECT_EQ(std::vector<int16_t>(buf, buf + 6), (std::vector<int16_t>{10, 10, 10, 10, 20, 20}));
    EXPECT_FALSE(feed.write(buf, 6, 1, fill));
    EXPECT_EQ(std::vector<int16_t>(buf, buf + 6), (std::vector<int16_t>{20, 20, 0, 0, 0, 0}));
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(feed.ended());
}

std::string shown_text, shown_caption;
void remember(const char* text, const char* caption) {
    shown_text = text;
    shown_caption = caption;
}

TEST(MessageBox, WritesTheTextToStderrAndUsesTheProgramsBoxOnceHandedIn) {
    const char* display = std::getenv("DISPLAY");
    std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    {
        captured_output out;
        EXPECT_EQ(MessageBoxA(nullptr, "Needs 16, 24, or 32 bit color", "Error", MB_OK), IDOK);
        EXPECT_EQ(out.text(), "Error: Needs 16, 24, or 32 bit color\n");
    }
    message_box_hook(remember);
    {
        captured_output out;
        EXPECT_EQ(MessageBoxA(nullptr, "Error", "SetOutput", MB_OK), IDOK);
        EXPECT_EQ(out.text(), "SetOutput: Error\n");
    }
    message_box_hook(nullptr);
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
        EXPECT_EQ(MessageBoxA(nullptr, text.c_str(), "Error", MB_OK), IDOK);
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

// A real box: it stays up, and MessageBoxA with it, until OK is pressed.
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
            MessageBoxA(nullptr, "-title is text here", "Box test", MB_OK);
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
