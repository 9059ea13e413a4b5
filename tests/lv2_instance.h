// An LV2 instance of the plugin for the tests, run block by block with MIDI
// events at exact frames. Made from the plugin's descriptor, as any host
// makes one, or through liblilv (tests/lv2_host.h).
#pragma once

#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/plugin_instance.h"


// The URIs the tests' hosts have mapped, numbered from 1.
LV2_URID test_map_uri(LV2_URID_Map_Handle, const char* uri);

class lv2_host;
struct LilvInstanceImpl;

// One instance with every control port bound to a value of its own.
class lv2_instance : public plugin_instance {
public:
    // Through liblilv, the controls at the defaults the description gives.
    lv2_instance(lv2_host& host, double rate = 44100.0);
    // From the descriptor, the controls at the plugin's own defaults.
    lv2_instance(const LV2_Descriptor* descriptor, const std::string& bundle_dir, double rate = 44100.0);
    ~lv2_instance() override;
    lv2_instance(const lv2_instance&) = delete;
    lv2_instance& operator=(const lv2_instance&) = delete;
    bool ok() const override { return handle_ != nullptr; }

private:
    void run_block(int64_t pos, int n, std::span<const timed_midi> events) override;
    void set_options();
    void connect_and_activate();
    const LV2_Descriptor* descriptor_ = nullptr;
    LV2_Handle handle_ = nullptr;
    LilvInstanceImpl* lilv_ = nullptr; // owns the handle when made through liblilv
    void (*free_lilv_)(LilvInstanceImpl*) = nullptr;
    LV2_URID_Map map_ = {nullptr, test_map_uri};
    LV2_Feature map_feature_ = {LV2_URID__map, &map_};
    // The longest block the tests run, told as a host tells it.
    int32_t max_block_ = 8192;
    LV2_Options_Option options_[2];
    LV2_Feature options_feature_ = {LV2_OPTIONS__options, options_};
    const LV2_Feature* features_[3] = {&map_feature_, &options_feature_, nullptr};
    uint32_t midi_type_, sequence_type_;
    std::vector<uint64_t> atom_buf_; // 8-byte aligned
    std::vector<float> ports_;       // the control ports' values: `controls` at each block's start
};
