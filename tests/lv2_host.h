// A small LV2 host for the tests: loads the plugin bundle from the build tree
// with liblilv and runs instances block by block, MIDI events at exact frames.
#pragma once

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>

#include <cstdint>
#include <string>
#include <vector>

struct timed_midi {
    int64_t frame; // from the start of the run
    uint8_t bytes[3];
    uint32_t size = 3;
    int64_t position = -1; // 0 or more: instead of MIDI, the host's transport rolling at this frame
};

class lv2_host {
public:
    explicit lv2_host(const std::string& bundle_dir);
    ~lv2_host();
    bool ok() const { return plugin_ != nullptr; }
    const LilvPlugin* plugin() const { return plugin_; }
    uint32_t map(const char* uri);
    LilvWorld* world() const { return world_; }

    // The plugin's presets: each one's URI and control values by symbol.
    struct preset {
        std::string uri;
        std::vector<std::pair<std::string, float>> values;
    };
    std::vector<preset> presets();

private:
    LilvWorld* world_ = nullptr;
    const LilvPlugin* plugin_ = nullptr;
    std::vector<std::string> uris_;
};

// One instance with every control port bound to a value of its own.
class lv2_instance {
public:
    lv2_instance(lv2_host& host, double rate = 44100.0);
    ~lv2_instance();
    bool ok() const { return inst_ != nullptr; }

    // Control values by parameter number, starting from the ports' defaults.
    std::vector<float> controls;

    // Runs the instance over `frames` frames in blocks whose sizes are taken
    // in turn from `blocks`, the events placed at their frames. Returns the
    // left output; the right one must equal it.
    std::vector<float> play(const std::vector<timed_midi>& events, int64_t frames,
                            const std::vector<int>& blocks, bool* right_equals_left);

private:
    LilvInstance* inst_ = nullptr;
    uint32_t midi_type_, sequence_type_;
    LV2_URID_Map* map_ = nullptr;
    std::vector<uint64_t> atom_buf_; // 8-byte aligned
    std::vector<float> out_[2];
};
