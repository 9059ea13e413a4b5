// The plugin's libraries as hosts take them, in each format: loaded by path
// (LV2: asked for its one descriptor; VST3 and CLAP: through the tests' own
// hosts), instantiated and run in uneven blocks with MIDI at exact frames.
// Each plays the engine's own samples, on Linux and (under Wine) on Windows,
// where no liblilv or synth-render is at hand.
#include <gtest/gtest.h>

#include "engine/engine.h"
#include "engine/midi_message.h"
#include "plugin/ports.h"
#include "tests/lv2_instance.h"

namespace {

std::unique_ptr<plugin_instance> open(const std::string& format) {
    if (format == "vst3") return open_vst3(SYNTH_VST3_BUNDLE);
    if (format == "clap") return open_clap(SYNTH_CLAP_FILE);
    void* module = load_module(SYNTH_LV2_BUNDLE "/synth" SYNTH_MODULE_SUFFIX);
    auto list = reinterpret_cast<LV2_Descriptor_Function>(module ? module_function(module, "lv2_descriptor") : nullptr);
    if (!list) return nullptr;
    const LV2_Descriptor* d = list(0);
    if (!d || std::string(d->URI) != SYNTH_LV2_URI || list(1)) return nullptr;
    return std::make_unique<lv2_instance>(d, SYNTH_LV2_BUNDLE);
}

class PluginLibrary : public ::testing::TestWithParam<std::string> {};

} // namespace

INSTANTIATE_TEST_SUITE_P(Formats, PluginLibrary, ::testing::Values("lv2", "vst3", "clap"),
                         [](const auto& info) { return info.param; });

TEST_P(PluginLibrary, PlaysTheEnginesSamples) {
    const auto p = open(GetParam());
    ASSERT_TRUE(p && p->ok()) << "the " << GetParam() << " plugin does not load";
    plugin_instance& plugin = *p;

    // Both instruments sounding (a crossfade), with a few oscillators and
    // an envelope of their own.
    const struct { int id; float value; } settings[] = {
        {param_id(0, K_MODE), 4},           {param_id(1, K_VOL, 1), 0.5f},
        {param_id(1, K_WAV, 1), 1},         {param_id(1, K_FRQ, 1), 12},
        {param_id(1, K_VIB, 0), 0.3f},      {param_id(1, K_RELEASELEN), 2000},
        {param_id(2, K_WAV, 0), 2},         {param_id(2, K_ATTACKLEN), 3000},
    };
    for (auto s : settings) plugin.controls[s.id] = s.value;
    synth_engine engine;
    for (int id = 0; id < PARAM_COUNT; ++id) engine.set(id, plugin.controls[id]);

    // Notes, the bend wheel, the pedal and an all-notes-off, one on another
    // channel: status, data 1, data 2 at a frame.
    const struct { int64_t frame; uint8_t s, d1, d2; } played[] = {
        {0, 0x90, 60, 100},     {1000, 0x90, 64, 80},   {5003, 0xE0, 0, 80},
        {8000, 0xB0, 64, 127},  {10000, 0x80, 60, 0},   {12000, 0x93, 67, 90},
        {20000, 0xB0, 64, 0},   {20001, 0x90, 72, 100}, {30000, 0xB0, 123, 0},
    };
    std::vector<timed_midi> events;
    std::vector<block_event> messages;
    for (auto p : played) {
        events.push_back({p.frame, {p.s, p.d1, p.d2}});
        messages.push_back({uint32_t(p.frame), short_message(p.s, p.d1, p.d2)});
    }
    const int frames = 44100;
    std::vector<float> expected(frames);
    engine.render(expected.data(), frames, messages);

    bool right_equals_left = false;
    const std::vector<float> got = plugin.play(events, frames, {1, 64, 1000, 333, 8192}, &right_equals_left);
    EXPECT_TRUE(right_equals_left);
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
    EXPECT_GT(*std::max_element(got.begin(), got.end()), 0.1f);
}
