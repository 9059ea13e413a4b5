// The sound layer on ALSA, with no hardware: ALSA's configuration is replaced
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

#include "platform/fsound.h"

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

constexpr int BLOCKS = 5;
std::atomic<int> calls{0};
std::atomic<bool> wrong_length{false}, on_caller_thread{false};
std::thread::id caller;
int next_value = 0;

// Numbers every sample; asks to stop with the fifth block.
signed char numbered(FSOUND_STREAM*, void* buff, int len, int param) {
    if (len != 2048 || param != 42) wrong_length = true;
    if (std::this_thread::get_id() == caller) on_caller_thread = true;
    int16_t* s = static_cast<int16_t*>(buff);
    for (int i = 0; i < len / 2; ++i) s[i] = int16_t(next_value++);
    return calls.fetch_add(1) + 1 < BLOCKS;
}

TEST(AlsaOutput, BlocksOf1024SamplesPlayInOrderOnBothChannelsUntilTheCallbackSaysStop) {
    caller = std::this_thread::get_id();
    ASSERT_EQ(FSOUND_SetOutput(FSOUND_OUTPUT_ASIO), 1);
    ASSERT_EQ(FSOUND_Init(44100, 16, 0), 1);
    EXPECT_STREQ(fsound_output_host(), "ALSA");
    FSOUND_STREAM* s = FSOUND_Stream_Create(numbered, 2048, 0x130, 44100, 42);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(FSOUND_Stream_Play(FSOUND_FREE, s), 0);
    for (int k = 0; k < 500 && calls < BLOCKS; ++k) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(FSOUND_Stream_Close(s), 1);
    FSOUND_Close();
    EXPECT_EQ(calls, BLOCKS) << "called again after asking to stop";
    EXPECT_FALSE(wrong_length) << "a buffer of another length or user value";
    EXPECT_FALSE(on_caller_thread) << "called on the caller's thread";

    std::ifstream in(dir + "/out.raw", std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> raw(bytes.size() / 2);
    std::memcpy(raw.data(), bytes.data(), raw.size() * 2);
    ASSERT_EQ(raw.size() % 2, 0u) << "not two channels";
    size_t f = 0, frames = raw.size() / 2;
    while (f < frames && raw[2 * f] == 0 && raw[2 * f + 1] == 0) ++f; // the device's own lead-in
    ASSERT_GT(f, 0u);
    const size_t first = f - 1; // sample 0 is itself 0
    ASSERT_GE(frames - first, size_t(BLOCKS * 1024));
    for (int k = 0; k < BLOCKS * 1024; ++k) {
        ASSERT_EQ(raw[2 * (first + size_t(k))], k) << "left, sample " << k;
        ASSERT_EQ(raw[2 * (first + size_t(k)) + 1], k) << "right, sample " << k;
    }
    for (f = first + BLOCKS * 1024; f < frames; ++f) ASSERT_EQ(raw[2 * f] | raw[2 * f + 1], 0) << "after the end";
}

} // namespace
