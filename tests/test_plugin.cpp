// The LV2 plugin in a host of our own (liblilv), loaded from the build tree:
// its output against synth-render's for the same tune, instruments and
// settings, in every layering mode and for block sizes from 1 to 8192
// frames; independent instances; bad control values and MIDI junk.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>

#include "engine/engine.h"
#include "engine/reference.h"
#include "files/instrument_file.h"
#include "files/wav_file.h"
#include "engine/midi_message.h"
#include "plugin/ports.h"
#include "plugin/programs.h"
#include "tests/midi_builder.h"
#include "tests/lv2_host.h"
#include "tests/plugin_instance.h"

namespace fs = std::filesystem;

namespace {

// Two instruments that use every wave, vibrato, the envelope and a fade.
instrument_record organ() {
    instrument_record r{};
    const int frq[] = {0, 12, 19, 24, -12, 7}, wav[] = {0, 1, 2, 0, 2, 0},
              vol[] = {400, 200, 150, 100, 120, 90}, vib[] = {0, 300, 0, 500, 0, 1000};
    for (int k = 0; k < 6; ++k) {
        r.at(K_FRQ, k) = frq[k];
        r.at(K_WAV, k) = wav[k];
        r.at(K_VOL, k) = vol[k];
        r.at(K_VIB, k) = vib[k];
    }
    r.at(K_ATTACKLEN) = 601, r.at(K_ATTACK) = 1500, r.at(K_DECAYLEN) = 2001, r.at(K_DECAY) = 800, r.at(K_RELEASELEN) = 4001;
    r.at(K_FADELEN) = -1;
    return r;
}

instrument_record drum() {
    instrument_record r{};
    r.at(K_WAV, 0) = 3, r.at(K_VOL, 0) = 300;
    r.at(K_WAV, 1) = 2, r.at(K_VOL, 1) = 200, r.at(K_FRQ, 1) = -24, r.at(K_VIB, 1) = 260;
    r.at(K_WAV, 2) = 1, r.at(K_VOL, 2) = 100, r.at(K_FRQ, 2) = 31;
    r.at(K_ATTACKLEN) = 1, r.at(K_ATTACK) = 2000, r.at(K_DECAYLEN) = 1201, r.at(K_DECAY) = 400, r.at(K_RELEASELEN) = 201;
    r.at(K_FADELEN) = 8000;
    return r;
}

// The control values that stand for an instrument file's contents.
void set_controls(std::vector<float>& c, int n, const instrument_record& r) {
    const instrument_values v = values_of_record(r);
    for (int i = 0; i < INSTRUMENT_PARAMS; ++i) c[size_t(param_id(n, 0) + i)] = float(v[size_t(i)]);
}

// A tune of overlapping notes across the keyboard on channel 1, with traffic
// on channel 2 that must be ignored. Times in pulses of a file at 500 pulses
// per quarter note and 120 beats per minute: pulse p is a millisecond, due at
// sample floor(p * rate / 1000).
struct note_event {
    int pulse;
    uint8_t status, note, velocity;
};
const std::vector<note_event> tune = {
    {0, 0x90, 40, 100},  {37, 0x90, 52, 127}, {38, 0x91, 60, 127}, {90, 0x90, 64, 90},
    {140, 0x80, 40, 0},  {141, 0x90, 71, 60}, {200, 0x90, 52, 0},  {233, 0x90, 88, 127},
    {234, 0x90, 95, 110}, {301, 0x81, 60, 0},  {350, 0x80, 64, 64}, {351, 0x90, 64, 127},
    {400, 0x90, 71, 0},  {460, 0x90, 30, 80}, {520, 0x80, 88, 0},  {521, 0x80, 95, 0},
    {600, 0x90, 64, 0},  {640, 0x80, 30, 0},
};

std::string midi_file(const std::vector<note_event>& events) {
    midi_builder::track t;
    int last = 0;
    for (const note_event& e : events) {
        t.ev(uint32_t(e.pulse - last), {e.status, e.note, e.velocity});
        last = e.pulse;
    }
    const auto bytes = midi_builder::file(0, 500, {t});
    return std::string(bytes.begin(), bytes.end());
}

std::vector<timed_midi> timed(const std::vector<note_event>& events, int rate = 44100) {
    std::vector<timed_midi> t;
    for (const note_event& e : events)
        t.push_back({int64_t(e.pulse) * rate / 1000, {e.status, e.note, e.velocity}});
    return t;
}

std::vector<float> as_floats(const std::vector<int16_t>& s) {
    std::vector<float> f;
    for (int16_t v : s) f.push_back(float(v) / 32768.0f);
    return f;
}

// Every test runs through each format, in a host of the tests' own: LV2
// through liblilv, VST3 and CLAP on the framework's headers.
class Plugin : public ::testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite() { host = new lv2_host(SYNTH_LV2_BUNDLE); }
    static void TearDownTestSuite() { delete host; }

    void SetUp() override {
        ASSERT_TRUE(host->ok()) << "no plugin in " << SYNTH_LV2_BUNDLE;
        ASSERT_TRUE(open()->ok()) << "the " << GetParam() << " plugin does not load";
        dir = fs::temp_directory_path() / ("plugin_test_" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return (dir / name).string();
    }

    // synth-render's output for a tune, as floats.
    std::vector<float> rendered(int mode, int rate = 44100, const std::vector<note_event>& notes = tune) {
        const std::string mid = write("tune.mid", midi_file(notes)), out = (dir / "out.wav").string();
        std::string error;
        EXPECT_TRUE(save_instrument_file((dir / "1.zpk").string(), organ(), &error));
        EXPECT_TRUE(save_instrument_file((dir / "2.zpk").string(), drum(), &error));
        const std::string cmd = std::string(SYNTH_RENDER) + " --quiet --i1 " + (dir / "1.zpk").string() +
                                " --i2 " + (dir / "2.zpk").string() + " --mode " + std::to_string(mode) +
                                " --split 60 --fade1 45 --fade2 80 --transpose 3 --rate " +
                                std::to_string(rate) + " " + mid + " " + out;
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        auto wav = read_wav_file(out, &error);
        EXPECT_TRUE(wav) << error;
        return wav ? as_floats(wav->samples) : std::vector<float>{};
    }

    std::unique_ptr<plugin_instance> open(double rate = 44100.0) {
        if (GetParam() == "vst3") return open_vst3(SYNTH_VST3_BUNDLE, rate);
        if (GetParam() == "clap") return open_clap(SYNTH_CLAP_FILE, rate);
        return std::make_unique<lv2_instance>(*host, rate);
    }

    void set_tune_controls(plugin_instance& p, int mode) {
        set_controls(p.controls, 1, organ());
        set_controls(p.controls, 2, drum());
        p.controls[param_id(0, K_MODE)] = float(mode);
        p.controls[param_id(0, K_SPLITKEY)] = 60;
        p.controls[param_id(0, K_FADE1)] = 45;
        p.controls[param_id(0, K_FADE2)] = 80;
        p.controls[param_id(0, K_TRANSPOSE)] = 3;
        p.controls[param_id(0, K_CHANNEL)] = 1;
    }

    static lv2_host* host;
    fs::path dir;
};

lv2_host* Plugin::host = nullptr;

} // namespace

INSTANTIATE_TEST_SUITE_P(Formats, Plugin, ::testing::Values("lv2", "vst3", "clap"),
                         [](const auto& info) { return info.param; });

TEST_P(Plugin, EqualsSynthRenderInEveryModeAndAtEveryBlockSize) {
    const std::vector<std::vector<int>> schedules = {
        {8192}, {64}, {1000}, {1, 2, 3, 8192, 17, 4096, 63, 65, 511, 7}};
    for (int mode = 0; mode < LAYERINGS; ++mode) {
        const std::vector<float> want = rendered(mode);
        ASSERT_GT(want.size(), 28000u);
        for (const auto& blocks : schedules) {
            auto p = open();
            ASSERT_TRUE(p->ok());
            set_tune_controls(*p, mode);
            bool stereo = false;
            const std::vector<float> got = p->play(timed(tune), int64_t(want.size()), blocks, &stereo);
            EXPECT_TRUE(stereo) << "left and right differ";
            ASSERT_EQ(got.size(), want.size());
            size_t first = 0;
            while (first < got.size() && got[first] == want[first]) ++first;
            EXPECT_EQ(first, got.size()) << "mode " << mode << ", blocks of " << blocks[0] << "...: "
                                         << "first difference at frame " << first;
        }
    }
    // One frame at a time, once.
    const std::vector<float> want = rendered(4);
    auto p = open();
    set_tune_controls(*p, 4);
    bool stereo = false;
    EXPECT_EQ(p->play(timed(tune), int64_t(want.size()), {1}, &stereo), want);
}

// At the host's rate the plugin plays what synth-render plays at that rate:
// pitch, lengths and the vibrato follow it, from the lowest rate to the highest.
TEST_P(Plugin, AtOtherRatesEqualsSynthRenderAtThatRate) {
    std::mt19937 random(7);
    for (int rate : {8000, 48000, 96000, 192000}) {
        const std::vector<float> want = rendered(4, rate);
        std::vector<int> blocks;
        for (int k = 0; k < 40; ++k) blocks.push_back(std::uniform_int_distribution<int>(1, 4096)(random));
        auto p = open(rate);
        ASSERT_TRUE(p->ok());
        set_tune_controls(*p, 4);
        bool stereo = false;
        const std::vector<float> got = p->play(timed(tune, rate), int64_t(want.size()), blocks, &stereo);
        ASSERT_EQ(got.size(), want.size());
        size_t first = 0;
        while (first < got.size() && got[first] == want[first]) ++first;
        EXPECT_EQ(first, got.size()) << rate << " Hz: first difference at frame " << first;
    }
}

// The pedal, the bend wheel and the panic messages at random block sizes:
// the plugin plays what synth-render plays.
TEST_P(Plugin, ControllersEqualSynthRenderAtRandomBlockSizes) {
    std::vector<note_event> played = tune;
    const std::vector<note_event> controllers = {
        {30, 0xB0, 64, 127}, {120, 0xE0, 0x00, 0x30}, {150, 0xB0, 64, 10}, {210, 0xE0, 0x7F, 0x7F},
        {260, 0xB0, 64, 64}, {330, 0xB0, 123, 0},   {380, 0xB0, 121, 0}, {420, 0xB1, 64, 127},
        {470, 0xE0, 0x11, 0x22}, {560, 0xB0, 120, 0}, {600, 0xB0, 64, 127}};
    played.insert(played.end(), controllers.begin(), controllers.end());
    std::stable_sort(played.begin(), played.end(), [](auto& a, auto& b) { return a.pulse < b.pulse; });
    const std::vector<float> want = rendered(4, 44100, played);
    std::mt19937 random(11);
    std::vector<int> blocks;
    for (int k = 0; k < 40; ++k) blocks.push_back(std::uniform_int_distribution<int>(1, 2048)(random));
    auto p = open();
    set_tune_controls(*p, 4);
    bool stereo = false;
    const std::vector<float> got = p->play(timed(played), int64_t(want.size()), blocks, &stereo);
    ASSERT_EQ(got.size(), want.size());
    size_t first = 0;
    while (first < got.size() && got[first] == want[first]) ++first;
    EXPECT_EQ(first, got.size()) << "first difference at frame " << first;
    EXPECT_NE(want, rendered(4, 44100, tune)) << "the controllers change nothing: the test proves nothing";
}

// The host's transport: after a run of its own (a host runs a plugin before
// it starts the transport), a plugin told that the transport rolls from song
// frame F plays what a render from frame 0 plays from F on, vibrato and all,
// within one step of the 16-bit samples; told that it rolls from before the
// song's start (Ardour exports from -768), from the song's start on. Without
// the position the vibrato is off. (The framework's LV2 wrapper takes no
// position before the start.)
TEST_P(Plugin, APositionFromTheHostSetsTheVibratoAsARenderFromTheStart) {
    // The tune starts a second into the song; the host's position comes at
    // the start of a block (of the blocks below), where hosts send it.
    constexpr int PREROLL = 9 * (300 + 1000 + 77);
    std::vector<note_event> later = tune;
    for (note_event& e : later) e.pulse += 1000;
    const std::vector<float> from_the_start = rendered(0, 44100, tune), a_second_in = rendered(0, 44100, later);
    ASSERT_GT(a_second_in.size(), size_t(44100) + 20000);
    const struct {
        int64_t from;
        bool told;
        const std::vector<note_event>& notes;
        const std::vector<float>& want;
    } cases[] = {{44100, true, later, a_second_in}, {-768, true, tune, from_the_start},
                 {44100, false, later, a_second_in}};
    for (const auto& c : cases) {
        if (c.from < 0 && GetParam() == "lv2") continue;
        const std::vector<float>& want = c.want;
        // Song frame s is the host's frame PREROLL + s - from.
        std::vector<timed_midi> events;
        if (c.told) events.push_back({PREROLL, {}, 0, c.from});
        for (timed_midi e : timed(c.notes))
            events.push_back({PREROLL + e.frame - c.from, {e.bytes[0], e.bytes[1], e.bytes[2]}});
        auto p = open();
        set_tune_controls(*p, 0);
        bool stereo = false;
        const std::vector<float> got =
            p->play(events, PREROLL + int64_t(want.size()) - c.from, {300, 1000, 77}, &stereo);
        float worst = 0;
        for (int64_t s = std::max<int64_t>(c.from, 0); s < int64_t(want.size()); ++s)
            worst = std::max(worst, std::fabs(got[size_t(PREROLL + s - c.from)] - want[size_t(s)]) * 32768.0f);
        if (c.told) EXPECT_LE(worst, 1.0f) << "from " << c.from << ": the largest difference, in steps of the 16-bit samples";
        else EXPECT_GT(worst, 10.0f) << "the tune's vibrato does not show the phase: the test proves nothing";
    }
}

// Instances share nothing: made together, run one after the other with other
// block sizes, they play the same; a fresh plugin plays the standalone's
// start-up sound.
TEST_P(Plugin, InstancesAreIndependentAndStartAsTheProgramDoes) {
    auto a = open(), b = open();
    ASSERT_TRUE(a->ok() && b->ok());
    bool stereo = false;
    const auto ra = a->play(timed(tune), 40000, {4096}, &stereo);
    const auto rb = b->play(timed(tune), 40000, {3, 999, 8192}, &stereo);
    EXPECT_EQ(ra, rb);

    synth_engine program;
    program.set(param_id(0, K_CHANNEL), 0); // the plugin listens to every channel
    std::vector<int16_t> want(40000);
    size_t pos = 0;
    for (const timed_midi& e : timed(tune)) {
        program.render(want.data() + pos, int(e.frame - int64_t(pos)) ? int(e.frame - int64_t(pos)) : 0);
        pos = size_t(e.frame);
        send(program, uint32_t(e.bytes[0]) | uint32_t(e.bytes[1]) << 8 | uint32_t(e.bytes[2]) << 16);
    }
    program.render(want.data() + pos, int(want.size() - pos));
    EXPECT_EQ(ra, as_floats(want));
}

// Control values out of range or infinite act as the nearest value in range,
// not a number leaves the value as it was; MIDI that is not a note message of
// the chosen channel changes nothing.
TEST_P(Plugin, BadControlsAreClampedAndJunkMidiIgnored) {
    auto bad = open(), good = open();
    ASSERT_TRUE(bad->ok() && good->ok());
    const float inf = std::numeric_limits<float>::infinity(), nan = std::nanf("");
    struct { const char* symbol; float given, means; } cases[] = {
        {"i1_vol0", inf, 1},          {"i1_vol1", -3, 0},          {"i1_vol2", 0.5004f, 0.5f},
        {"i1_frq1", 1e9f, 50},        {"i1_frq2", -inf, -50},      {"i1_wav1", 7, 3},
        {"i1_wav2", 1.4f, 1},         {"i1_vib0", nan, 0},         {"i1_attacklen", -5, 1},
        {"i1_decaylen", 1e7f, 20001}, {"i1_attack", 9, 2},         {"i1_fadelen", -1, 0},
        {"i2_releaselen", nan, 1},    {"mode", 17, 5},             {"transpose", -99, -25},
        {"channel", 2.4f, 2},         {"fade2", nan, 90},
    };
    for (auto& c : cases) {
        const int id = param_by_symbol(c.symbol);
        ASSERT_GE(id, 0) << c.symbol;
        bad->controls[id] = c.given;
        good->controls[id] = c.means;
    }
    good->controls[param_id(1, K_VOL, 2)] = 0.5f;
    std::vector<timed_midi> clean = {{10, {0x91, 60, 100}}, {500, {0x91, 67, 127}},
                                     {9000, {0x81, 60, 0}}, {12000, {0x91, 67, 0}}};
    std::vector<timed_midi> junk = clean;
    const std::vector<timed_midi> extra = {
        {20, {0x90, 62, 100}},  {30, {0xB1, 7, 0}},    {40, {0xE1, 0, 64}}, {50, {0x91, 200, 100}},
        {60, {0xC1, 5, 0}, 2},  {70, {0xF8, 0, 0}, 1}, {80, {0x91, 70, 0}, 2},
        {9000, {0x92, 72, 90}}, {9001, {0xA1, 67, 3}},
    };
    junk.insert(junk.end(), extra.begin(), extra.end());
    std::stable_sort(junk.begin(), junk.end(), [](auto& x, auto& y) { return x.frame < y.frame; });
    bool stereo = false;
    EXPECT_EQ(bad->play(junk, 30000, {256}, &stereo), good->play(clean, 30000, {256}, &stereo));
}

// Every factory instrument is a preset for each instrument, with exactly the
// file's values: set on the engine, they give the file back.
TEST(PluginLv2, PresetsHoldTheFactoryInstruments) {
    lv2_host host(SYNTH_LV2_BUNDLE);
    const auto presets = host.presets();
    size_t files = 0;
    for (const auto& f : fs::directory_iterator(SYNTH_FACTORY_DIR)) files += f.path().extension() == ".zpk";
    ASSERT_GE(files, 24u);
    ASSERT_EQ(presets.size(), 2 * files);
    for (const auto& p : presets) {
        // urn:...:preset:i<n>:<name>
        const size_t at = p.uri.rfind(":preset:i");
        ASSERT_NE(at, std::string::npos) << p.uri;
        const int n = p.uri[at + 9] - '0';
        const std::string name = p.uri.substr(at + 11);
        std::string error;
        const auto file = load_instrument_file(std::string(SYNTH_FACTORY_DIR) + "/" + name + ".zpk", &error);
        ASSERT_TRUE(file) << error;
        synth_engine e;
        EXPECT_EQ(p.values.size(), size_t(INSTRUMENT_PARAMS)) << p.uri;
        for (const auto& [symbol, value] : p.values) {
            const int id = param_by_symbol(symbol);
            ASSERT_TRUE(id >= 0 && param_at(id).instrument == n) << p.uri << " sets " << symbol;
            e.set(id, value);
        }
        const instrument_record got = e.record(n);
        uint8_t a[INSTRUMENT_FILE_SIZE], b[INSTRUMENT_FILE_SIZE];
        encode_record(got, a);
        encode_record(*file, b);
        EXPECT_EQ(0, std::memcmp(a, b, sizeof a)) << p.uri;
    }
}

// What a host reads back is what it set, the first parameter too (VST3 once
// took it for a MIDI controller); a program sets its instrument alone, to the
// factory instrument's values, in the formats that have programs.
TEST_P(Plugin, ParametersReadBackAndAProgramSetsOneInstrument) {
    auto p = open();
    set_tune_controls(*p, 4);
    bool stereo = false;
    p->play({}, 64, {64}, &stereo);
    const std::vector<double> set = p->read_back();
    if (GetParam() == "lv2") {
        EXPECT_TRUE(set.empty());
    } else {
        ASSERT_EQ(set.size(), size_t(PARAM_COUNT));
        for (int id = 0; id < PARAM_COUNT; ++id) {
            synth_engine e;
            e.set(id, p->controls[id]);
            EXPECT_EQ(float(set[id]), float(e.get(id))) << param_symbol(id);
        }
    }
    const auto& programs = factory_programs();
    ASSERT_EQ(programs.size() % 2, 0u);
    const int k = int(programs.size() / 2) + 3; // instrument 2's fourth
    ASSERT_EQ(p->load_program(k), GetParam() == "vst3");
    if (GetParam() != "vst3") return;
    const std::vector<double> loaded = p->read_back();
    for (int id = 0; id < PARAM_COUNT; ++id) {
        const param_ref r = param_at(id);
        const double want = r.instrument == 2 ? programs[k].values[id - INSTRUMENT_PARAMS] : set[id];
        EXPECT_EQ(float(loaded[id]), float(want)) << programs[k].label << ": " << param_symbol(id);
    }
}

// What a host may send that it should not: thousands of messages in one
// block (none may be lost), messages out of order, blocks of no frames.
// Nothing crashes; the messages in order play the engine's own samples.
TEST_P(Plugin, BadHostInputIsSurvivedAndNoMessageLost) {
    // 3000 messages in one block of 8192 frames: notes on and off across the keyboard.
    std::vector<timed_midi> dense;
    std::vector<block_event> door;
    for (int i = 0; i < 3000; ++i) {
        const uint8_t note = uint8_t(30 + i % 60), on = (i / 60) % 2 ? 0 : 100;
        dense.push_back({int64_t(i * 8192 / 3000), {0x90, note, on}});
        door.push_back({uint32_t(i * 8192 / 3000), short_message(0x90, note, on)});
    }
    synth_engine engine;
    for (int id = 0; id < PARAM_COUNT; ++id) engine.set(id, port_default(id));
    std::vector<float> want(8192 * 2);
    engine.render(want.data(), 8192 * 2, door);
    bool stereo = false;
    EXPECT_EQ(open()->play(dense, 8192 * 2, {8192}, &stereo), want) << "messages were lost";
    // Blocks of no frames between the others change nothing.
    EXPECT_EQ(open()->play(dense, 8192 * 2, {0, 8192, 0}, &stereo), want);

    // Out of order within a block: played, and nothing breaks.
    std::vector<timed_midi> shuffled = timed(tune);
    std::reverse(shuffled.begin(), shuffled.end());
    const std::vector<float> got = open()->play(shuffled, 30000, {8192}, &stereo);
    EXPECT_TRUE(stereo);
    for (float v : got) ASSERT_TRUE(std::isfinite(v));
}
