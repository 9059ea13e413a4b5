// A small LV2 host for the tests: loads the plugin bundle from the build tree
// with liblilv, for its description, its presets and instances
// (tests/lv2_instance.h).
#pragma once

#include <lilv/lilv.h>

#include <string>
#include <vector>

#include "tests/lv2_instance.h"

class lv2_host {
public:
    explicit lv2_host(const std::string& bundle_dir);
    ~lv2_host();
    bool ok() const { return plugin_ != nullptr; }
    const LilvPlugin* plugin() const { return plugin_; }
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
};
