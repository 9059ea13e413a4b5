// The plugin's library as any LV2 host takes it: loaded by its path, asked
// for its one descriptor, instantiated and run in uneven blocks with MIDI at
// exact frames. It plays the engine's own samples, on Linux and (under Wine)
// on Windows, where no liblilv is at hand.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "engine/engine.h"
#include "engine/midi_message.h"
#include "plugin/ports.h"
#include "tests/lv2_instance.h"

namespace {

LV2_Descriptor_Function descriptors(const char* path) {
#ifdef _WIN32
    HMODULE lib = LoadLibraryA(path);
    return lib ? reinterpret_cast<LV2_Descriptor_Function>(
                     reinterpret_cast<void*>(GetProcAddress(lib, "lv2_descriptor")))
               : nullptr;
#else
    void* lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    return lib ? reinterpret_cast<LV2_Descriptor_Function>(dlsym(lib, "lv2_descriptor")) : nullptr;
#endif
}

} // namespace

TEST(PluginLibrary, PlaysTheEnginesSamples) {
    const LV2_Descriptor_Function list = descriptors(SYNTH_LV2_BUNDLE "/synth" SYNTH_MODULE_SUFFIX);
    ASSERT_NE(list, nullptr);
    const LV2_Descriptor* d = list(0);
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d->URI, SYNTH_LV2_URI);
    EXPECT_EQ(list(1), nullptr);
    lv2_instance plugin(d, SYNTH_LV2_BUNDLE);
    ASSERT_TRUE(plugin.ok());

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
