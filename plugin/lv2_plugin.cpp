// The synthesizer as an LV2 instrument: one MIDI input, the mono sum on two
// audio outputs, and one control port per parameter of the parameter table
// (ports 3 onwards, in the table's order). Each MIDI event acts at its own
// frame: run() hands the block and its events to the engine's door.
//
// Lengths follow the host's rate as the engine's rule has them. The host's
// transport reaches the plugin as time:Position objects on the same input:
// while it rolls, each position sets the vibrato to the phase a render from
// frame 0 has there. The rest follows the notes the plugin has heard (a host
// does not resend notes held at an export's start): an export equals that
// part of the whole tune when it starts where the instrument is silent.
// Without positions the vibrato runs freely from activation.
//
// run() allocates nothing, takes no lock and makes no system call; changed
// control values are taken at the start of each run().
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstring>
#include <span>
#include <new>

#include "engine/engine.h"
#include "engine/notes.h"
#include "plugin/ports.h"

namespace {

struct synth_plugin {
    synth_engine engine;
    const LV2_Atom_Sequence* midi_in = nullptr;
    float* out[2] = {nullptr, nullptr};
    const float* control[PARAM_COUNT] = {};
    float taken[PARAM_COUNT]; // the value last handed to the engine, per control
    LV2_URID midi_event = 0;
    struct {
        LV2_URID object, blank, position, frame, speed, long_, int_, float_, double_;
    } urid{};

    explicit synth_plugin(float rate) : engine(rate) {
        for (int id = 0; id < PARAM_COUNT; ++id) {
            taken[id] = float(port_default(id));
            engine.set(id, taken[id]);
        }
    }

    void take_controls() {
        for (int id = 0; id < PARAM_COUNT; ++id) {
            if (!control[id]) continue;
            const float v = *control[id];
            if (v == taken[id] || (v != v && taken[id] != taken[id])) continue;
            taken[id] = v;
            engine.set(id, v); // clamped to the range; not a number gives the bottom
        }
    }

    // An atom's number, when it is one.
    bool number(const LV2_Atom* a, double* v) const {
        if (!a) return false;
        if (a->type == urid.long_) *v = double(reinterpret_cast<const LV2_Atom_Long*>(a)->body);
        else if (a->type == urid.int_) *v = reinterpret_cast<const LV2_Atom_Int*>(a)->body;
        else if (a->type == urid.float_) *v = reinterpret_cast<const LV2_Atom_Float*>(a)->body;
        else if (a->type == urid.double_) *v = reinterpret_cast<const LV2_Atom_Double*>(a)->body;
        else return false;
        return true;
    }

    // A time:Position: while the transport rolls, the vibrato takes the
    // phase of its frame. A stopped transport changes nothing.
    void position(const LV2_Atom_Object* o) {
        if (o->body.otype != urid.position) return;
        const LV2_Atom *frame = nullptr, *speed = nullptr;
        lv2_atom_object_get(o, urid.frame, &frame, urid.speed, &speed, 0);
        double f = 0.0, v = 1.0;
        if (!number(frame, &f) || (speed && !number(speed, &v)) || v == 0.0 || !(f >= 0.0 && f < 9.0e15))
            return;
        engine.set_timeline_frame(int64_t(f));
    }

    void run(uint32_t frames) {
        take_controls();
        // MIDI messages go through the engine's door; a position acts at its
        // own frame too.
        block_writer<float> block(engine, out[0]);
        if (midi_in) {
            LV2_ATOM_SEQUENCE_FOREACH(midi_in, ev) {
                const int64_t t = ev->time.frames;
                const uint32_t at = t < 0 ? 0 : t > int64_t(frames) ? frames : uint32_t(t);
                if (ev->body.type == midi_event) {
                    unsigned long packed;
                    if (pack_short_message(reinterpret_cast<const uint8_t*>(ev + 1), ev->body.size, &packed))
                        block.add(at, packed);
                } else if (ev->body.type == urid.object || ev->body.type == urid.blank) {
                    block.flush(at);
                    position(reinterpret_cast<const LV2_Atom_Object*>(&ev->body));
                }
            }
        }
        block.flush(frames);
        if (out[1] && out[0] && out[1] != out[0])
            std::memcpy(out[1], out[0], sizeof(float) * frames);
        else if (out[1] && !out[0])
            std::memset(out[1], 0, sizeof(float) * frames);
    }
};

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*,
                       const LV2_Feature* const* features) {
    LV2_URID_Map* map = nullptr;
    for (int i = 0; features && features[i]; ++i)
        if (std::strcmp(features[i]->URI, LV2_URID__map) == 0)
            map = static_cast<LV2_URID_Map*>(features[i]->data);
    if (!map || !(rate >= 1000.0 && rate <= 1536000.0)) return nullptr;
    auto* p = new (std::nothrow) synth_plugin(float(rate));
    if (!p) return nullptr;
    auto m = [&](const char* uri) { return map->map(map->handle, uri); };
    p->midi_event = m(LV2_MIDI__MidiEvent);
    p->urid = {m(LV2_ATOM__Object), m(LV2_ATOM__Blank), m(LV2_TIME__Position), m(LV2_TIME__frame),
               m(LV2_TIME__speed), m(LV2_ATOM__Long), m(LV2_ATOM__Int), m(LV2_ATOM__Float), m(LV2_ATOM__Double)};
    return p;
}

void connect_port(LV2_Handle h, uint32_t port, void* data) {
    auto* p = static_cast<synth_plugin*>(h);
    switch (port) {
    case PORT_MIDI_IN: p->midi_in = static_cast<const LV2_Atom_Sequence*>(data); break;
    case PORT_OUT_LEFT: p->out[0] = static_cast<float*>(data); break;
    case PORT_OUT_RIGHT: p->out[1] = static_cast<float*>(data); break;
    default:
        if (port >= PORT_FIRST_CONTROL && port < PORT_FIRST_CONTROL + PARAM_COUNT)
            p->control[port - PORT_FIRST_CONTROL] = static_cast<const float*>(data);
    }
}

void activate(LV2_Handle h) {
    // A fresh start: no voice, and every parameter as the controls say.
    auto* p = static_cast<synth_plugin*>(h);
    p->engine.reset();
    for (int id = 0; id < PARAM_COUNT; ++id) p->engine.set(id, p->taken[id]);
}

void run(LV2_Handle h, uint32_t frames) { static_cast<synth_plugin*>(h)->run(frames); }

void cleanup(LV2_Handle h) { delete static_cast<synth_plugin*>(h); }

const LV2_Descriptor descriptor = {
    SYNTH_LV2_URI, instantiate, connect_port, activate, run, nullptr, cleanup, nullptr,
};

} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &descriptor : nullptr;
}
