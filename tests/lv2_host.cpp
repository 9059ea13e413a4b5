#include "tests/lv2_host.h"

#include "plugin/ports.h"

lv2_host::lv2_host(const std::string& bundle_dir) {
    world_ = lilv_world_new();
    std::string uri = "file://" + bundle_dir;
    if (uri.back() != '/') uri += '/';
    LilvNode* bundle = lilv_new_uri(world_, uri.c_str());
    lilv_world_load_specifications(world_);
    lilv_world_load_plugin_classes(world_);
    lilv_world_load_bundle(world_, bundle);
    lilv_node_free(bundle);
    LilvNode* id = lilv_new_uri(world_, SYNTH_LV2_URI);
    plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), id);
    lilv_node_free(id);
}

lv2_host::~lv2_host() { lilv_world_free(world_); }

std::vector<lv2_host::preset> lv2_host::presets() {
    std::vector<preset> out;
    LV2_URID_Map map_data = {nullptr, test_map_uri};
    LilvNode* preset_class = lilv_new_uri(world_, "http://lv2plug.in/ns/ext/presets#Preset");
    LilvNodes* related = lilv_plugin_get_related(plugin_, preset_class);
    LILV_FOREACH(nodes, i, related) {
        const LilvNode* node = lilv_nodes_get(related, i);
        lilv_world_load_resource(world_, node);
        LilvState* state = lilv_state_new_from_world(world_, &map_data, node);
        if (!state) continue;
        preset p{lilv_node_as_uri(node), {}};
        lilv_state_emit_port_values(
            state,
            [](const char* symbol, void* data, const void* value, uint32_t size, uint32_t) {
                if (size == sizeof(float))
                    static_cast<preset*>(data)->values.push_back({symbol, *static_cast<const float*>(value)});
            },
            &p);
        lilv_state_free(state);
        out.push_back(std::move(p));
    }
    lilv_nodes_free(related);
    lilv_node_free(preset_class);
    return out;
}

lv2_instance::lv2_instance(lv2_host& host, double rate) {
    controls.resize(PARAM_COUNT);
    set_options();
    if (host.ok()) lilv_ = lilv_plugin_instantiate(host.plugin(), rate, features_);
    if (lilv_) {
        free_lilv_ = lilv_instance_free;
        descriptor_ = lilv_instance_get_descriptor(lilv_);
        handle_ = lilv_instance_get_handle(lilv_);
        // Defaults as the description gives them.
        std::vector<float> mins(lilv_plugin_get_num_ports(host.plugin())), maxs(mins.size()),
            defs(mins.size());
        lilv_plugin_get_port_ranges_float(host.plugin(), mins.data(), maxs.data(), defs.data());
        for (int id = 0; id < PARAM_COUNT; ++id) controls[id] = defs[PORT_FIRST_CONTROL + id];
    }
    connect_and_activate();
}
