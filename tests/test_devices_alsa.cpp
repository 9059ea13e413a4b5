// The sound output on ALSA, with no hardware: ALSA's configuration is replaced
// by one whose default device writes what it plays to a file (through the
// null device, so it runs unpaced). No JACK server answers.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound_output.h"

namespace {

std::string dir;

class alsa_to_file : public ::testing::Environment {
public:
    void SetUp() override {
        char tmpl[] = "/tmp/dev-alsa-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        std::ofstream(dir + "/alsa.conf") << "pcm.null { type null }\n"
                                             "pcm.!default { type file slave.pcm \"null\" file \""
                                          << dir << "/out.raw\" format \"raw\" }\n";
        setenv("ALSA_CONFIG_PATH", (dir + "/alsa.conf").c_str(), 1);
        std::string none = "dev" + std::to_string(getpid()) + "-none";
        setenv("JACK_DEFAULT_SERVER", none.c_str(), 1);
        setenv("JACK_NO_START_SERVER", "1", 1);
    }
    void TearDown() override {
        unlink((dir + "/out.raw").c_str());
        unlink((dir + "/alsa.conf").c_str());
        rmdir(dir.c_str());
    }
};
const auto* env = ::testing::AddGlobalTestEnvironment(new alsa_to_file);

constexpr int FRAMES = 1024, BLOCKS = 5;

// The first BLOCKS blocks are numbered, sample k as k (on a second channel
// as -k); silence follows.
struct numbered {
    sound_format format;
    std::atomic<int> calls{0};
    std::atomic<bool> wrong_length{false}, on_caller_thread{false};
    std::thread::id caller = std::this_thread::get_id();

    static void fill(void* out, int frames, void* arg) {
        auto* n = static_cast<numbered*>(arg);
        if (frames != FRAMES) n->wrong_length = true;
        if (std::this_thread::get_id() == n->caller) n->on_caller_thread = true;
        const int block = n->calls.fetch_add(1);
        for (int f = 0; f < frames; ++f) {
            const int k = block < BLOCKS ? block * FRAMES + f : 0;
            for (int c = 0; c < n->format.channels; ++c) {
                const int v = c == 0 ? k : -k;
                const int i = f * n->format.channels + c;
                if (n->format.format == sample_format::int16)
                    static_cast<int16_t*>(out)[i] = int16_t(v);
                else
                    static_cast<float*>(out)[i] = float(v) / 32768.0f;
            }
        }
    }
};

// The device file as (left, right) pairs, in 16-bit units.
template <class T>
std::vector<std::pair<int, int>> played(float scale) {
    std::ifstream in(dir + "/out.raw", std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::pair<int, int>> frames;
    for (size_t i = 0; i + 2 * sizeof(T) <= bytes.size(); i += 2 * sizeof(T)) {
        T v[2];
        std::memcpy(v, &bytes[i], sizeof v);
        frames.push_back({int(float(v[0]) * scale), int(float(v[1]) * scale)});
    }
    return frames;
}

TEST(AlsaOutput, BlocksPlayInOrderOnBothChannelsAndNoCallFollowsClose) {
    const sound_format formats[] = {
        {1, sample_format::int16, 44100, FRAMES}, // the live program's: heard on both speakers
        {2, sample_format::float32, 48000, FRAMES},
    };
    for (const sound_format& format : formats) {
        SCOPED_TRACE(format.channels == 1 ? "mono 16-bit" : "stereo float");
        unlink((dir + "/out.raw").c_str());
        numbered n;
        n.format = format;
        sound_error_code error = sound_ok;
        sound_stream* s = sound_open(sound_host::alsa, format, numbered::fill, &n, &error);
        ASSERT_NE(s, nullptr) << "error " << error;
        ASSERT_TRUE(sound_start(s, &error));
        // Well past the numbered blocks, so that they have reached the file.
        for (int k = 0; k < 1000 && n.calls < 4 * BLOCKS; ++k)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_GE(n.calls, 4 * BLOCKS) << "the stream stalled";
        sound_close(s);
        const int calls = n.calls;
        EXPECT_FALSE(n.wrong_length) << "a buffer of another length";
        EXPECT_FALSE(n.on_caller_thread) << "called on the caller's thread";

        const auto out = format.format == sample_format::int16 ? played<int16_t>(1.0f) : played<float>(32768.0f);
        size_t f = 0;
        while (f < out.size() && out[f] == std::make_pair(0, 0)) ++f; // the device's own lead-in
        ASSERT_GT(f, 0u);
        const size_t first = f - 1; // sample 0 is itself 0
        ASSERT_GE(out.size() - first, size_t(BLOCKS * FRAMES));
        const int right = format.channels == 1 ? 1 : -1;
        for (int k = 0; k < BLOCKS * FRAMES; ++k)
            ASSERT_EQ(out[first + size_t(k)], std::make_pair(k, right * k)) << "sample " << k;
        for (f = first + BLOCKS * FRAMES; f < out.size(); ++f)
            ASSERT_EQ(out[f], std::make_pair(0, 0)) << "after the end, frame " << f;
        EXPECT_EQ(n.calls, calls) << "called after close";
    }
}

} // namespace
