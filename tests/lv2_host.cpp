#include "tests/lv2_host.h"

#include <lv2/atom/util.h>
#include <lv2/atom/forge.h>
#include <lv2/midi/midi.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cstring>

#include "plugin/ports.h"

namespace {

LV2_URID map_uri(LV2_URID_Map_Handle h, const char* uri) { return static_cast<lv2_host*>(h)->map(uri); }

} // namespace

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

uint32_t lv2_host::map(const char* uri) {
    for (size_t i = 0; i < uris_.size(); ++i)
        if (uris_[i] == uri) return uint32_t(i + 1);
    uris_.push_back(uri);
    return uint32_t(uris_.size());
}

std::vector<lv2_host::preset> lv2_host::presets() {
    std::vector<preset> out;
    LV2_URID_Map map_data = {this, map_uri};
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

lv2_instance::lv2_instance(lv2_host& host, double rate) : controls(PARAM_COUNT) {
    static LV2_URID_Map map_data;
    map_data = {&host, map_uri};
    static LV2_Feature map_feature = {LV2_URID__map, &map_data};
    const LV2_Feature* features[] = {&map_feature, nullptr};
    map_ = &map_data;
    midi_type_ = host.map(LV2_MIDI__MidiEvent);
    sequence_type_ = host.map(LV2_ATOM__Sequence);
    if (!host.ok()) return;
    inst_ = lilv_plugin_instantiate(host.plugin(), rate, features);
    if (!inst_) return;
    // Defaults as the description gives them.
    std::vector<float> mins(lilv_plugin_get_num_ports(host.plugin())),
        maxs(mins.size()), defs(mins.size());
    lilv_plugin_get_port_ranges_float(host.plugin(), mins.data(), maxs.data(), defs.data());
    for (int id = 0; id < PARAM_COUNT; ++id) controls[id] = defs[PORT_FIRST_CONTROL + id];
    atom_buf_.resize(1 << 16);
    for (auto& o : out_) o.resize(8192);
    lilv_instance_connect_port(inst_, PORT_MIDI_IN, atom_buf_.data());
    lilv_instance_connect_port(inst_, PORT_OUT_LEFT, out_[0].data());
    lilv_instance_connect_port(inst_, PORT_OUT_RIGHT, out_[1].data());
    for (int id = 0; id < PARAM_COUNT; ++id)
        lilv_instance_connect_port(inst_, PORT_FIRST_CONTROL + id, &controls[id]);
    lilv_instance_activate(inst_);
}

lv2_instance::~lv2_instance() {
    if (!inst_) return;
    lilv_instance_deactivate(inst_);
    lilv_instance_free(inst_);
}

std::vector<float> lv2_instance::play(const std::vector<timed_midi>& events, int64_t frames,
                                      const std::vector<int>& blocks, bool* right_equals_left) {
    std::vector<float> out;
    *right_equals_left = true;
    size_t next = 0, b = 0;
    for (int64_t pos = 0; pos < frames;) {
        const int n = int(std::min<int64_t>(blocks[b++ % blocks.size()], frames - pos));
        auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(atom_buf_.data());
        seq->atom.type = sequence_type_;
        seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
        seq->body.unit = 0;
        seq->body.pad = 0;
        const uint32_t capacity = uint32_t(atom_buf_.size() * 8 - sizeof(LV2_Atom));
        for (; next < events.size() && events[next].frame < pos + n; ++next) {
            alignas(8) uint8_t event[128] = {};
            auto* e = reinterpret_cast<LV2_Atom_Event*>(event);
            e->time.frames = events[next].frame - pos;
            if (events[next].position >= 0) { // time:Position, rolling
                LV2_Atom_Forge forge;
                lv2_atom_forge_init(&forge, map_);
                lv2_atom_forge_set_buffer(&forge, event + sizeof e->time, sizeof event - sizeof e->time);
                LV2_Atom_Forge_Frame frame;
                lv2_atom_forge_object(&forge, &frame, 0, map_->map(map_->handle, LV2_TIME__Position));
                lv2_atom_forge_key(&forge, map_->map(map_->handle, LV2_TIME__frame));
                lv2_atom_forge_long(&forge, events[next].position);
                lv2_atom_forge_key(&forge, map_->map(map_->handle, LV2_TIME__speed));
                lv2_atom_forge_float(&forge, 1.0f);
                lv2_atom_forge_pop(&forge, &frame);
            } else {
                e->body.type = midi_type_;
                e->body.size = events[next].size;
                std::memcpy(event + sizeof *e, events[next].bytes, events[next].size);
            }
            lv2_atom_sequence_append_event(seq, capacity, e);
        }
        lilv_instance_run(inst_, uint32_t(n));
        out.insert(out.end(), out_[0].begin(), out_[0].begin() + n);
        if (!std::equal(out_[0].begin(), out_[0].begin() + n, out_[1].begin()))
            *right_equals_left = false;
        pos += n;
    }
    return out;
}
