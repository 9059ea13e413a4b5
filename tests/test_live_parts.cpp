// The live program's pieces without devices: its command line, the placing
// of MIDI messages by arrival time, and the queue that carries them from the
// MIDI thread to the audio callback.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "app/live_options.h"
#include "captured_output.h"
#include "platform/outputs.h"
#include "platform/timed_messages.h"

namespace {

parse_result parse(std::vector<std::string> args, live_options* o, std::string* why) {
    args.insert(args.begin(), "synth");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    return parse_live_options(int(argv.size()), argv.data(), o, why);
}

TEST(LiveOptions, GoodCommandLinesSetWhatTheySay) {
    live_options o;
    std::string why;
    ASSERT_EQ(parse({"--i1", "a.zpk", "--mode", "fade", "--transpose", "-3", "--channel", "all", "--audio",
                     "alsa", "--period", "64", "--rate", "48000", "--midi", "Keystation", "--no-gui"},
                    &o, &why),
              parse_result::run)
        << why;
    EXPECT_EQ(o.i1, "a.zpk");
    EXPECT_EQ(o.i2, "");
    EXPECT_EQ(o.setting[K_MODE], 4);
    EXPECT_EQ(o.setting[K_TRANSPOSE], -3);
    EXPECT_EQ(o.setting[K_CHANNEL], 0);
    EXPECT_TRUE(o.given[K_MODE] && o.given[K_TRANSPOSE] && !o.given[K_SPLITKEY]);
    EXPECT_EQ(o.setting[K_FADE2], 90) << "an option not given keeps its start-up value";
    EXPECT_EQ(o.devices.audio, "alsa");
    EXPECT_EQ(o.devices.period, 64);
    EXPECT_EQ(o.devices.rate, 48000);
    EXPECT_EQ(o.devices.midi, midi_choice::named);
    EXPECT_EQ(o.devices.midi_name, "Keystation");
    EXPECT_TRUE(o.no_gui);

    live_options d;
    ASSERT_EQ(parse({}, &d, &why), parse_result::run);
    EXPECT_EQ(d.devices.audio, "auto");
    EXPECT_EQ(d.devices.period, 256);
    EXPECT_EQ(d.devices.rate, 44100);
    EXPECT_EQ(d.devices.midi, midi_choice::first);
    EXPECT_FALSE(d.no_gui || d.list_devices);
}

TEST(LiveOptions, BadCommandLinesSayWhatIsWrong) {
    const struct { std::vector<std::string> args; const char* says; } cases[] = {
        {{"--audio", "oss"}, "--audio takes"},   {{"--period", "15"}, "--period takes"},
        {{"--period", "8193"}, "--period takes"}, {{"--period", "64x"}, "--period takes"},
        {{"--midi", ""}, "--midi takes"},         {{"--split", "101"}, "--split takes"},
        {{"--frobnicate"}, "unknown option"},     {{"--i1"}, "needs a value"},
        {{"song.mid"}, "unexpected argument"},    {{"--rate", "7999"}, "--rate takes"},
        {{"--rate", "44.1k"}, "--rate takes"},
    };
    for (const auto& c : cases) {
        live_options o;
        std::string why;
        EXPECT_EQ(parse(c.args, &o, &why), parse_result::bad_usage) << c.args[0];
        EXPECT_NE(why.find(c.says), std::string::npos) << why;
    }
    live_options o;
    std::string why;
    captured_output out;
    EXPECT_EQ(parse({"--version"}, &o, &why), parse_result::done);
}

// --audio takes every name of the system's table and auto, in the order the
// table gives, and the usage text and the complaint name each of them.
TEST(LiveOptions, AudioNamesComeFromTheTableOfOutputs) {
    int count;
    const output_row* rows = output_rows(&count);
    ASSERT_GE(count, 2);
    EXPECT_STREQ(rows[count - 1].name, "none") << "none comes last";
    std::vector<std::string> names;
    for (int k = 0; k < count; ++k) names.push_back(rows[k].name);
    names.push_back("auto");
    std::string complaint;
    live_options bad;
    ASSERT_EQ(parse({"--audio", "oss"}, &bad, &complaint), parse_result::bad_usage);
    size_t after = 0;
    for (const std::string& n : names) {
        live_options o;
        std::string why;
        EXPECT_EQ(parse({"--audio", n}, &o, &why), parse_result::run) << n;
        EXPECT_EQ(o.devices.audio, n);
        const size_t at = complaint.find(n, after);
        EXPECT_NE(at, std::string::npos) << n << " missing or out of order in: " << complaint;
        after = at == std::string::npos ? after : at + n.size();
        EXPECT_NE(live_usage().find(" " + n + " "), std::string::npos) << n;
    }
}

constexpr double RATE = 44100.0;
constexpr int64_t MS = 1000000;

TEST(ArrivalPlacer, MessagesKeepTheirSpacingOneBufferLate) {
    arrival_placer p;
    const int N = 441; // 10 ms
    p.start_buffer(1000 * MS, N, RATE);
    // This buffer plays what arrived during the 10 ms before it began.
    EXPECT_EQ(p.frame(990 * MS), 0);
    EXPECT_EQ(p.frame(995 * MS), 220);
    EXPECT_EQ(p.frame(1000 * MS - 1), 440);
    EXPECT_EQ(p.frame(900 * MS), 0) << "older than a buffer: at once";
    EXPECT_EQ(p.frame(1000 * MS), -1) << "arrived during this buffer: the next one plays it";
    // The next callback 0.5 ms late: the clock follows a tenth of it.
    p.start_buffer(1010 * MS + MS / 2, N, RATE);
    EXPECT_EQ(p.frame(1005 * MS), 220 - 2);
    EXPECT_EQ(p.frame(1010 * MS + MS / 20), -1);
    // A callback more than a buffer late (an xrun) starts the clock over.
    p.start_buffer(1040 * MS, N, RATE);
    EXPECT_EQ(p.frame(1035 * MS), 220);
}

TEST(MessageQueue, EveryMessageArrivesOnceInOrderAcrossThreads) {
    static message_queue q;
    constexpr int COUNT = 20000;
    std::thread producer([] {
        for (int k = 0; k < COUNT;)
            if (q.push({k, (unsigned long)k * 3})) ++k;
    });
    int expected = 0;
    bool in_order = true;
    while (expected < COUNT) {
        const timed_message* m = q.front();
        if (!m) continue;
        in_order &= m->ns == expected && m->message == (unsigned long)expected * 3;
        q.pop();
        ++expected;
    }
    producer.join();
    EXPECT_TRUE(in_order);
    EXPECT_EQ(q.front(), nullptr);
    for (uint32_t k = 0; k < message_queue::CAPACITY; ++k) ASSERT_TRUE(q.push({0, 0}));
    EXPECT_FALSE(q.push({1, 1})) << "a full queue drops the new message";
}

} // namespace
