// A plugin instance in a small host of the tests' own, of any format the
// plugin is built for (LV2: tests/lv2_instance.h, VST3: the framework's VST3
// headers, CLAP: its CLAP headers), run block by block with MIDI messages at
// exact frames and the parameters by number.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

struct timed_midi {
    int64_t frame; // from the start of the run
    uint8_t bytes[3];
    uint32_t size = 3;
    int64_t position = no_position; // else, instead of MIDI: the host's transport rolling, at this frame of its song
    static constexpr int64_t no_position = INT64_MIN;
};

class plugin_instance {
public:
    virtual ~plugin_instance() = default;
    virtual bool ok() const = 0;

    // Parameter values by parameter number, handed over at the start of each
    // block as the format hands them (LV2 control ports, VST3 parameter
    // changes, CLAP parameter events).
    std::vector<float> controls;

    // Runs the instance over `frames` frames in blocks whose sizes are taken
    // in turn from `blocks`, the events placed at their frames. Returns the
    // left output; the right one must equal it.
    std::vector<float> play(const std::vector<timed_midi>& events, int64_t frames, const std::vector<int>& blocks,
                            bool* right_equals_left);

    // The parameters' values as a host reads them back from the plugin (VST3:
    // its edit controller; CLAP: its parameters' values), by parameter
    // number; empty where the format has no such reading (LV2).
    virtual std::vector<double> read_back() { return {}; }
    // Loads program `index` (plugin/programs.h) as a host loads a preset
    // (VST3: its program parameter); false where the format has no programs
    // of the plugin's own (LV2 has presets of its description, CLAP 1.1 none).
    virtual bool load_program(int) { return false; }

protected:
    // Runs one block of n frames from frame `pos` of the run into out_, as
    // the format hands a block over: `controls` and the events inside it.
    virtual void run_block(int64_t pos, int n, std::span<const timed_midi> events) = 0;
    // The outputs, long enough for the longest block the tests run.
    std::vector<float> out_[2] = {std::vector<float>(8192), std::vector<float>(8192)};
};

// The VST3 bundle's library (BUNDLE/Contents/x86_64-linux/synth.so, on
// Windows BUNDLE/Contents/x86_64-win/synth.vst3) and the CLAP file, loaded by
// path as a host loads them. ok() is false where loading fails or a
// parameter is not named as the parameter table names it.
std::unique_ptr<plugin_instance> open_vst3(const std::string& bundle, double rate = 44100.0);
std::unique_ptr<plugin_instance> open_clap(const std::string& file, double rate = 44100.0);

// A module loaded by path (dlopen, LoadLibrary) and one of its functions.
void* load_module(const std::string& path);
void* module_function(void* module, const char* name);
