#include "tests/lv2_instance.h"

#include <lv2/atom/util.h>
#include <lv2/atom/forge.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/time/time.h>

#include <algorithm>
#include <cstring>

#include "plugin/ports.h"

LV2_URID test_map_uri(LV2_URID_Map_Handle, const char* uri) {
    static std::vector<std::string> uris;
    for (size_t i = 0; i < uris.size(); ++i)
        if (uris[i] == uri) return LV2_URID(i + 1);
    uris.push_back(uri);
    return LV2_URID(uris.size());
}

lv2_instance::lv2_instance(const LV2_Descriptor* descriptor, const std::string& bundle_dir, double rate) {
    controls.resize(PARAM_COUNT);
    set_options();
    descriptor_ = descriptor;
    std::string bundle = bundle_dir;
    if (bundle.back() != '/') bundle += '/';
    handle_ = descriptor->instantiate(descriptor, rate, bundle.c_str(), features_);
    for (int id = 0; id < PARAM_COUNT; ++id) controls[id] = float(port_default(id));
    connect_and_activate();
}

void lv2_instance::set_options() {
    options_[0] = {LV2_OPTIONS_INSTANCE, 0, test_map_uri(nullptr, LV2_BUF_SIZE__maxBlockLength), sizeof max_block_,
                   test_map_uri(nullptr, LV2_ATOM__Int), &max_block_};
    options_[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
}

lv2_instance::~lv2_instance() {
    if (!handle_) return;
    if (descriptor_->deactivate) descriptor_->deactivate(handle_);
    if (lilv_) free_lilv_(lilv_);
    else descriptor_->cleanup(handle_);
}

void lv2_instance::connect_and_activate() {
    midi_type_ = test_map_uri(nullptr, LV2_MIDI__MidiEvent);
    sequence_type_ = test_map_uri(nullptr, LV2_ATOM__Sequence);
    if (!handle_) return;
    atom_buf_.resize(1 << 16);
    ports_.resize(PARAM_COUNT);
    descriptor_->connect_port(handle_, PORT_MIDI_IN, atom_buf_.data());
    descriptor_->connect_port(handle_, PORT_OUT_LEFT, out_[0].data());
    descriptor_->connect_port(handle_, PORT_OUT_RIGHT, out_[1].data());
    for (int id = 0; id < PARAM_COUNT; ++id)
        descriptor_->connect_port(handle_, PORT_FIRST_CONTROL + id, &ports_[id]);
    if (descriptor_->activate) descriptor_->activate(handle_);
}

void lv2_instance::run_block(int64_t pos, int n, std::span<const timed_midi> events) {
    std::copy(controls.begin(), controls.end(), ports_.begin());
    auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(atom_buf_.data());
    seq->atom.type = sequence_type_;
    seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
    seq->body.unit = 0;
    seq->body.pad = 0;
    const uint32_t capacity = uint32_t(atom_buf_.size() * 8 - sizeof(LV2_Atom));
    for (const timed_midi& m : events) {
        alignas(8) uint8_t event[128] = {};
        auto* e = reinterpret_cast<LV2_Atom_Event*>(event);
        e->time.frames = m.frame - pos;
        if (m.position != timed_midi::no_position) { // time:Position, rolling
            LV2_Atom_Forge forge;
            lv2_atom_forge_init(&forge, &map_);
            lv2_atom_forge_set_buffer(&forge, event + sizeof e->time, sizeof event - sizeof e->time);
            LV2_Atom_Forge_Frame frame;
            lv2_atom_forge_object(&forge, &frame, 0, test_map_uri(nullptr, LV2_TIME__Position));
            lv2_atom_forge_key(&forge, test_map_uri(nullptr, LV2_TIME__frame));
            lv2_atom_forge_long(&forge, m.position);
            lv2_atom_forge_key(&forge, test_map_uri(nullptr, LV2_TIME__speed));
            lv2_atom_forge_float(&forge, 1.0f);
            lv2_atom_forge_pop(&forge, &frame);
        } else {
            e->body.type = midi_type_;
            e->body.size = m.size;
            std::memcpy(event + sizeof *e, m.bytes, m.size);
        }
        lv2_atom_sequence_append_event(seq, capacity, e);
    }
    descriptor_->run(handle_, uint32_t(n));
}
