// The synthesizer as a plugin, one class for every format the framework (DPF)
// builds: LV2, VST3 and CLAP. Its parameters are the parameter table's
// (engine/params.h), its programs the factory instruments (plugin/programs.h),
// and run() hands each block with its MIDI messages to the engine's door,
// every message at its own frame.
//
// The host's transport: while it rolls, a position that does not continue
// the last one (a start, a relocation, a loop) sets the vibrato to the phase
// a render from frame 0 has there, so that an export from any point sounds as
// that part of the whole tune. Without a rolling transport the vibrato runs
// freely from activation.
//
// run() allocates nothing, takes no lock and makes no system call. Parameter
// changes take effect at the start of a block, as every format's wrapper
// hands them over.
#include "DistrhoPlugin.hpp"

#include <cstring>

#include "engine/engine.h"
#include "engine/midi_message.h"
#include "plugin/ports.h"
#include "plugin/programs.h"

START_NAMESPACE_DISTRHO

namespace {

// The groups of parameters, by the instrument a parameter belongs to (0: the
// settings both share).
const char* const GROUPS[3][2] = {
    {"settings", "Layering and keyboard"}, {"i1", "Instrument 1"}, {"i2", "Instrument 2"}};

// How a unit of the table (an LV2 unit name) reads in a host's display.
const char* unit_text(const char* unit) {
    if (!unit) return "";
    if (std::strcmp(unit, "semitone12TET") == 0) return "semitones";
    if (std::strcmp(unit, "frame") == 0) return "samples";
    return unit;
}

float start_rate(double rate) { return rate > 0.0 ? float(rate) : 44100.0f; }

class SynthPlugin : public Plugin {
public:
    SynthPlugin()
        : Plugin(PARAM_COUNT, uint32_t(factory_programs().size()), 0), engine_(start_rate(getSampleRate())) {
        for (int id = 0; id < PARAM_COUNT; ++id) engine_.set(id, port_default(id));
    }

protected:
    const char* getLabel() const override { return "synth"; }
    const char* getDescription() const override {
        return "An additive synthesizer of two instruments, ten oscillators each, layered by a keyboard mode.";
    }
    const char* getMaker() const override { return SYNTH_MAINTAINER_NAME; }
    const char* getHomePage() const override { return SYNTH_HOMEPAGE; }
    const char* getLicense() const override { return "ISC"; }
    uint32_t getVersion() const override {
        return d_version(SYNTH_VERSION_MAJOR, SYNTH_VERSION_MINOR, SYNTH_VERSION_MICRO);
    }
    int64_t getUniqueId() const override { return d_cconst('s', 'y', 'A', 'd'); }

    void initAudioPort(bool input, uint32_t index, AudioPort& port) override {
        port.groupId = kPortGroupStereo;
        Plugin::initAudioPort(input, index, port);
    }

    void initParameter(uint32_t index, Parameter& p) override {
        const int id = int(index);
        const param_ref r = param_at(id);
        const param_kind& k = param_kinds[r.kind];
        p.hints = kParameterIsAutomatable;
        if (k.integer) p.hints |= kParameterIsInteger;
        if (k.integer && k.lo == 0 && k.hi == 1) p.hints |= kParameterIsBoolean;
        p.name = param_name(id).c_str();
        p.symbol = param_symbol(id).c_str();
        p.unit = unit_text(k.unit);
        p.ranges = ParameterRanges(float(port_default(id)), float(k.lo), float(k.hi));
        p.groupId = uint32_t(r.instrument);
        // Names of values: an enumeration's, or what 0 stands for.
        const int named = k.labels ? int(k.hi - k.lo) + 1 : (k.zero_name || k.off) ? 1 : 0;
        if (named > 0) {
            auto* v = new ParameterEnumerationValue[named];
            for (int i = 0; i < named; ++i)
                v[i] = k.labels ? ParameterEnumerationValue(float(k.lo + i), k.labels[i])
                                : ParameterEnumerationValue(0.0f, k.zero_name ? k.zero_name : "off");
            p.enumValues.count = uint8_t(named);
            p.enumValues.restrictedMode = k.labels != nullptr;
            p.enumValues.values = v;
        }
    }

    void initPortGroup(uint32_t group, PortGroup& g) override {
        if (group >= 3) return;
        g.symbol = GROUPS[group][0];
        g.name = GROUPS[group][1];
    }

    void initProgramName(uint32_t index, String& name) override {
        name = factory_programs()[index].label.c_str();
    }

    float getParameterValue(uint32_t index) const override { return float(engine_.get(int(index))); }
    // Clamped to the parameter's range; not a number is refused (the value
    // stays), as the LV2 wrapper already refuses it.
    void setParameterValue(uint32_t index, float value) override {
        if (value == value) engine_.set(int(index), value);
    }

    void loadProgram(uint32_t index) override {
        const auto& programs = factory_programs();
        if (index >= programs.size()) return;
        const factory_program& p = programs[index];
        for (int i = 0; i < INSTRUMENT_PARAMS; ++i)
            engine_.set((p.instrument - 1) * INSTRUMENT_PARAMS + i, p.values[i]);
    }

    // A fresh start: no voice, the parameters as they were.
    void activate() override {
        double values[PARAM_COUNT];
        for (int id = 0; id < PARAM_COUNT; ++id) values[id] = engine_.get(id);
        engine_.reset();
        engine_.set_rate(start_rate(getSampleRate()));
        for (int id = 0; id < PARAM_COUNT; ++id) engine_.set(id, values[id]);
        rolling_ = false;
    }

    void sampleRateChanged(double rate) override { engine_.set_rate(start_rate(rate)); }

    void run(const float**, float** outputs, uint32_t frames, const MidiEvent* events, uint32_t count) override {
        follow_transport(frames);
        block_writer<float> block(engine_, outputs[0]);
        for (uint32_t i = 0; i < count; ++i) {
            const MidiEvent& e = events[i];
            unsigned long message;
            if (pack_short_message(e.size > MidiEvent::kDataSize ? e.dataExt : e.data, e.size, &message))
                block.add(e.frame < frames ? e.frame : frames, message);
        }
        block.flush(frames);
        if (outputs[1] != outputs[0]) std::memcpy(outputs[1], outputs[0], sizeof(float) * frames);
    }

private:
    void follow_transport(uint32_t frames) {
        const TimePosition& t = getTimePosition();
        if (t.playing && (!rolling_ || t.frame != next_frame_)) engine_.set_timeline_frame(int64_t(t.frame));
        rolling_ = t.playing;
        next_frame_ = t.frame + frames;
    }

    synth_engine engine_;
    bool rolling_ = false;   // the transport rolled in the last block
    uint64_t next_frame_ = 0; // where it goes on if it keeps rolling

    DISTRHO_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(SynthPlugin)
};

} // namespace

Plugin* createPlugin() { return new SynthPlugin(); }

END_NAMESPACE_DISTRHO
