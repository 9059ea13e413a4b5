// The factory instruments: the files the build wrote hold the table's values,
// every instrument keeps to the level rules through the engine, the README
// lists them all, the table's mistakes are caught with their line, and the
// demonstration tune plays in every layering mode without clipping.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "engine/engine.h"
#include "engine/reference.h"
#include "factory/factory_table.h"
#include "factory/measure.h"
#include "files/instrument_file.h"
#include "files/midi_file.h"
#include "engine/notes.h"

namespace fs = std::filesystem;

namespace {

const std::vector<factory_instrument>& table() {
    static const std::vector<factory_instrument> t = [] {
        std::string error;
        auto parsed = read_factory_table(FACTORY_TABLE, &error);
        EXPECT_TRUE(parsed) << error;
        return parsed.value_or(std::vector<factory_instrument>{});
    }();
    return t;
}

bool same(const instrument_record& a, const instrument_record& b) {
    uint8_t x[INSTRUMENT_FILE_SIZE], y[INSTRUMENT_FILE_SIZE];
    encode_record(a, x);
    encode_record(b, y);
    return std::equal(x, x + sizeof x, y);
}

std::string text_of(const fs::path& p) {
    std::ifstream f(p);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

} // namespace

TEST(FactoryInstruments, TheBuildWroteExactlyTheTablesValues) {
    ASSERT_GE(table().size(), 24u);
    std::set<std::string> expected;
    for (const factory_instrument& f : table()) {
        SCOPED_TRACE(f.name);
        expected.insert(f.name + ".zpk");
        std::string error;
        auto stored = load_instrument_file(std::string(FACTORY_DIR) + "/" + f.name + ".zpk", &error);
        ASSERT_TRUE(stored) << error;
        EXPECT_TRUE(same(*stored, f.record));
    }
    std::set<std::string> found;
    for (const auto& e : fs::directory_iterator(FACTORY_DIR))
        if (e.path().extension() == ".zpk") found.insert(e.path().filename().string());
    EXPECT_EQ(found, expected);
}

TEST(FactoryInstruments, EveryFamilyIsThere) {
    std::set<std::string> kinds;
    for (const factory_instrument& f : table()) kinds.insert(f.kind);
    for (const char* k : {"organ", "strings", "pad", "bell", "mallet", "plucked", "bass", "brass",
                          "reed", "lead", "percussion"})
        EXPECT_TRUE(kinds.count(k)) << "no " << k;
}

// A four-note chord at full velocity never clips, single notes are within a
// few decibels of each other, and each family has the envelope it is meant
// to: organs speak at once and hold, strings and pads swell in slowly,
// struck and plucked sounds die away while the key is held, drums are gone.
TEST(FactoryInstruments, LevelsAndEnvelopesThroughTheEngine) {
    const struct {
        std::set<std::string> kinds;
        double most_rise_ms, least_rise_ms, most_held_db, least_held_db;
    } families[] = {
        {{"organ"}, 100, 0, 0, -3},
        {{"strings", "pad"}, 2000, 400, 0, -3},
        {{"bass", "brass", "reed", "lead"}, 200, 0, 0, -9},
        {{"bell", "mallet", "keys", "plucked"}, 100, 0, -6, -400},
        {{"percussion"}, 100, 0, -60, -400},
    };
    for (const factory_instrument& f : table()) {
        SCOPED_TRACE(f.name);
        const sound_figures m = measure(f.record);
        EXPECT_LE(m.chord_peak, -1.0);
        EXPECT_GE(m.note_rms, -28.0);
        EXPECT_LE(m.note_rms, -19.0);
        int found = 0;
        for (const auto& family : families) {
            if (!family.kinds.count(f.kind)) continue;
            ++found;
            EXPECT_LE(m.rise_ms, family.most_rise_ms);
            EXPECT_GE(m.rise_ms, family.least_rise_ms);
            EXPECT_LE(m.held_db, family.most_held_db) << "after 1.5 s held";
            EXPECT_GE(m.held_db, family.least_held_db) << "after 1.5 s held";
        }
        EXPECT_EQ(found, 1) << "kind " << f.kind << " belongs to no family";
    }
}

TEST(FactoryInstruments, TheReadmeListsEachOne) {
    const std::string readme = text_of(FACTORY_README);
    for (const factory_instrument& f : table())
        EXPECT_NE(readme.find("| `" + f.name + "` | " + f.about + " |"), std::string::npos)
            << f.name << " is not listed with its line";
}

TEST(FactoryTable, MistakesAreCaughtWithTheirLine) {
    const std::string head = "instrument a\nkind k\nabout x\n";
    const std::string tail = "attack 201 1.00\ndecay 201 1.00\nrelease 201\nfade none\n";
    const std::string osc = "osc sine 0 0.50 0.00\n";
    const struct {
        std::string text, error;
    } cases[] = {
        {head + "osc sine 0 0.55 0.00\nosc sine 0 0.255 0\n" + tail,
         "t:5: volume 0.255 is not a panel value (0 to 1 in steps of 0.01)"},
        {head + "osc sine 51 0.50 0.00\n" + tail, "t:4: semitones 51 is not a panel value (-50 to 50)"},
        {head + "osc sine 0 0.50 0.03\n" + tail,
         "t:4: vibrato 0.03 is not a panel value (0 to 1 in steps of 0.02)"},
        {head + "osc triangle 0 0.50 0\n" + tail, "t:4: wave \"triangle\" is none of sine, square, sawtooth, noise"},
        {head + osc + "attack 300 1.00\n", "t:5: length 300 is not a panel value (1 to 20001 samples in steps of 200)"},
        {head + osc + "attack 201 2.02\n", "t:5: level 2.02 is not a panel value (0 to 2 in steps of 0.02)"},
        {head + osc + "fade 1000\n", "t:5: fade 1000 is not a panel value (none, or 2000 to 400000 samples in steps of 2000)"},
        {head + osc + "attack 201 1.00\ndecay 201 1.00\nrelease 201\n", "t:1: instrument a has no fade line"},
        {head + tail, "t:1: instrument a has no osc line"},
        {head + osc + tail + head, "t:9: a second instrument a"},
        {"osc sine 0 0.50 0.00\n", "t:1: \"osc\" before the first instrument line"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(parse_factory_table(c.text, "t", &error)) << c.text;
        EXPECT_EQ(error, c.error);
    }
    std::string eleven = head;
    for (int k = 0; k < 11; ++k) eleven += osc;
    std::string error;
    EXPECT_FALSE(parse_factory_table(eleven + tail, "t", &error));
    EXPECT_EQ(error, "t:14: more than ten osc lines");

    auto ok = parse_factory_table(head + "osc sawtooth -12 .5 1\n" + tail, "t", &error);
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ((*ok)[0].record.at(K_FRQ, 0), -12);
    EXPECT_EQ((*ok)[0].record.at(K_VOL, 0), 500);
    EXPECT_EQ((*ok)[0].record.at(K_WAV, 0), 2);
    EXPECT_EQ((*ok)[0].record.at(K_VIB, 0), 1000);
    EXPECT_EQ((*ok)[0].record.at(K_VOL, 1), 0) << "oscillators not listed stay silent";
    EXPECT_EQ((*ok)[0].record.at(K_FADELEN), -1);
}

// The demonstration (README.md, docs/rendering.md): the tune with the electric piano as
// instrument 1 and the string ensemble as instrument 2, in every mode.
TEST(FactoryDemo, PlaysInEveryModeWithoutClipping) {
    std::string error;
    auto events = read_midi_file(DEMO_MIDI, 44100, &error);
    ASSERT_TRUE(events) << error;
    const auto piano = load_instrument_file(std::string(FACTORY_DIR) + "/electric-piano.zpk", &error);
    const auto strings = load_instrument_file(std::string(FACTORY_DIR) + "/string-ensemble.zpk", &error);
    ASSERT_TRUE(piano && strings) << error;
    const std::vector<midi_event>& played = *events; // the engine takes channel 1's
    ASSERT_GT(played.size(), 100u);
    for (int mode = 0; mode < 6; ++mode) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        synth_engine engine;
        engine.load(1, *piano);
        engine.load(2, *strings);
        engine.set(param_id(0, K_MODE), mode);
        int16_t buf[1024];
        int64_t pos = 0;
        int peak = 0;
        double sum = 0.0;
        auto render = [&](int n) {
            engine.render(buf, n);
            for (int i = 0; i < n; ++i) {
                peak = std::max(peak, std::abs(int(buf[i])));
                sum += double(buf[i]) * buf[i];
            }
            pos += n;
        };
        for (const midi_event& e : played) {
            while (pos < e.sample) render(int(std::min<int64_t>(1024, e.sample - pos)));
            send(engine, e.message);
        }
        for (int k = 0; k < 40; ++k) render(1024);
        EXPECT_LT(dbfs(peak), -1.0);
        EXPECT_GT(dbfs(std::sqrt(sum / double(pos))), -30.0) << "too quiet";
    }
}
