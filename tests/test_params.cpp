// The parameter table: what it derives for the panel, the files, the
// command line and the plugin, checked kind by kind over every position.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "app/setting_options.h"
#include "engine/engine.h"
#include "files/instrument_file.h"
#include "tests/oracle.h"

// Every slider position survives the trip through the engine's value and
// the file's stored integer: the inverse conversion is the conversion's.
TEST(Params, EverySliderPositionComesBackFromItsStoredValue) {
    for (int kind = 0; kind < K_MODE; ++kind) {
        const param_kind& k = param_kinds[kind];
        for (int p = 0; p <= k.slider_max; ++p) {
            const double v = engine_value(kind, slider_value(kind, p));
            const int32_t stored = k.file_scale == 1000 ? thousandths(v) : int32_t(v);
            ASSERT_EQ(slider_position(kind, stored), p) << k.key << " at " << p;
            // The slider's range lies within the kind's (the plugin's) range.
            ASSERT_EQ(clamp_param(kind, slider_value(kind, p)), slider_value(kind, p)) << k.key;
        }
    }
}

TEST(Params, SymbolsNamesAndNumbersAgree) {
    std::set<std::string> symbols;
    for (int id = 0; id < PARAM_COUNT; ++id) {
        const param_ref r = param_at(id);
        EXPECT_EQ(param_id(r.instrument, r.kind, r.oscillator), id);
        EXPECT_EQ(param_by_symbol(param_symbol(id)), id);
        symbols.insert(param_symbol(id));
    }
    EXPECT_EQ(symbols.size(), size_t(PARAM_COUNT));
    EXPECT_EQ(param_symbol(param_id(2, K_FRQ, 9)), "i2_frq9");
    EXPECT_EQ(param_name(param_id(1, K_VOL, 3)), "Instrument 1, oscillator 3 volume");
    EXPECT_EQ(param_name(param_id(2, K_FADELEN)), "Instrument 2 fade-out length");
    EXPECT_EQ(param_symbol(param_id(0, K_SPLITKEY)), "splitkey");
    EXPECT_EQ(param_by_symbol("i3_vol0"), -1);
}

// set() clamps to the range, rounds integers and levels (to the file's
// thousandths), and maps a fade length of 0 to "no fade"; get() reads back.
TEST(Params, SetClampsAndGetReadsBack) {
    synth_engine e;
    struct { int id; double given, stored, read; } cases[] = {
        {param_id(1, K_VOL, 0), 0.12345, 0.123, 0.123},
        {param_id(1, K_VOL, 1), NAN, 0.0, 0.0},
        {param_id(2, K_FRQ, 4), 60.7, 50, 50},
        {param_id(2, K_WAV, 2), 2.5, 2, 2},
        {param_id(1, K_ATTACK), -INFINITY, 0.0, 0.0},
        {param_id(1, K_DECAYLEN), 0, 1, 1},
        {param_id(2, K_FADELEN), 0, -1, 0},
        {param_id(2, K_FADELEN), 123456.4, 123456, 123456},
        {param_id(0, K_TRANSPOSE), 30, 25, 25},
        {param_id(0, K_CHANNEL), 16.2, 16, 16},
    };
    for (auto& c : cases) {
        e.set(c.id, c.given);
        EXPECT_EQ(snapshot(e).value[size_t(c.id)], c.stored) << param_symbol(c.id);
        EXPECT_EQ(e.get(c.id), c.read) << param_symbol(c.id);
    }
    EXPECT_EQ(snapshot(e).oscstep[OSCILLATORS + 4], CYCLE / (44100.0 / spechertz(50))) << "a pitch offset moves its phase step";
    // A fresh engine holds every start-up value.
    synth_engine fresh;
    for (int id = 0; id < PARAM_COUNT; ++id) EXPECT_EQ(fresh.get(id), param_start(id)) << param_symbol(id);
}

// The engine's channel setting: 0 takes every channel, n only channel n.
TEST(Params, ChannelChoosesTheMessages) {
    for (int channel : {0, 1, 10, 16}) {
        synth_engine e;
        e.set(param_id(0, K_CHANNEL), channel);
        for (int c = 0; c < 16; ++c) send(e, 0x90 | c | (40 + c) << 8 | 100 << 16);
        for (int c = 0; c < 16; ++c)
            EXPECT_EQ(snapshot(e).noteon[size_t(40 + c)] != 0, channel == 0 || channel == c + 1) << channel << " " << c;
        const int c = channel ? channel - 1 : 5; // a note-off of that channel releases its key
        send(e, 0x80 | c | (40 + c) << 8 | 64 << 16);
        EXPECT_EQ(snapshot(e).noteon[size_t(40 + c)], 0) << channel;
    }
}

TEST(Params, CommandLineValues) {
    struct { const char* option; const char* text; bool ok; int value; } cases[] = {
        {"mode", "inv-fade", true, 5}, {"mode", "3", true, 3},        {"mode", "fades", false, 0},
        {"split", "100", true, 100},   {"split", "101", false, 0},    {"transpose", "-25", true, -25},
        {"fade2", "5x", false, 0},     {"channel", "all", true, 0},   {"channel", "0", false, 0},
        {"channel", "16", true, 16},   {"fade1", "", false, 0},
    };
    for (auto& c : cases) {
        const int kind = setting_option(c.option);
        ASSERT_GE(kind, 0) << c.option;
        int v = -99;
        std::string why;
        EXPECT_EQ(parse_setting(kind, c.text, &v, &why), c.ok) << c.option << " " << c.text;
        if (c.ok) EXPECT_EQ(v, c.value) << c.option << " " << c.text;
        else EXPECT_NE(why.find(std::string("--") + c.option), std::string::npos) << why;
    }
    EXPECT_EQ(setting_option("volume"), -1);
}
