// A small CLAP host on the CLAP headers the framework ships
// (distrho/src/clap): the plugin's factory, its parameters (each one's module
// is its group and its LV2 symbol, its name the table's), MIDI events and parameter values
// in one list in order of time, and the transport's song position in seconds.
#include <algorithm>
#include <cstring>
#include <string>

#include "engine/params.h"
#include "plugin/ports.h"
#include "tests/plugin_instance.h"

#include "clap/entry.h"
#include "clap/events.h"
#include "clap/ext/params.h"
#include "clap/host.h"
#include "clap/plugin-factory.h"
#include "clap/plugin.h"
#include "clap/process.h"

namespace {

// The events of one block, in order of time.
struct input_events {
    clap_input_events_t list{this, [](const clap_input_events_t* l) {
                                 return uint32_t(static_cast<input_events*>(l->ctx)->events.size());
                             },
                             [](const clap_input_events_t* l, uint32_t i) -> const clap_event_header_t* {
                                 auto& e = static_cast<input_events*>(l->ctx)->events;
                                 return i < e.size() ? &e[i].header : nullptr;
                             }};
    union event {
        clap_event_header_t header;
        clap_event_midi_t midi;
        clap_event_param_value_t param;
    };
    std::vector<event> events;
};

const clap_output_events_t no_output = {
    nullptr, [](const clap_output_events_t*, const clap_event_header_t*) { return true; }};

const clap_host_t test_host = {
    CLAP_VERSION, nullptr, "synth tests", "synth", "", "1",
    [](const clap_host_t*, const char*) -> const void* { return nullptr; },
    [](const clap_host_t*) {}, [](const clap_host_t*) {}, [](const clap_host_t*) {}};

class clap_instance : public plugin_instance {
public:
    clap_instance(const std::string& file, double rate) : rate_(rate) {
        controls.resize(PARAM_COUNT);
        for (int id = 0; id < PARAM_COUNT; ++id) controls[id] = float(port_default(id));
        sent_ = controls;
        module_ = load_module(file);
        if (!module_) return;
        entry_ = static_cast<const clap_plugin_entry_t*>(module_function(module_, "clap_entry"));
        if (!entry_ || !entry_->init(file.c_str())) return;
        auto* factory = static_cast<const clap_plugin_factory_t*>(entry_->get_factory(CLAP_PLUGIN_FACTORY_ID));
        if (!factory || factory->get_plugin_count(factory) != 1) return;
        const clap_plugin_descriptor_t* d = factory->get_plugin_descriptor(factory, 0);
        plugin_ = factory->create_plugin(factory, &test_host, d->id);
        if (!plugin_ || !plugin_->init(plugin_)) return;
        auto* params = static_cast<const clap_plugin_params_t*>(plugin_->get_extension(plugin_, CLAP_EXT_PARAMS));
        if (!params) return;
        params_ = params;
        // Each parameter by its module (its group's symbol and its LV2
        // symbol: "i1/i1_vol0", "settings/mode") and its name.
        ids_.assign(PARAM_COUNT, CLAP_INVALID_ID);
        for (uint32_t i = 0, n = params->count(plugin_); i < n; ++i) {
            clap_param_info_t info;
            if (!params->get_info(plugin_, i, &info)) continue;
            const std::string module = info.module, symbol = module.substr(module.find('/') + 1);
            const int id = param_by_symbol(symbol);
            const param_ref r = param_at(id < 0 ? 0 : id);
            if (id < 0 || module != std::string(r.instrument ? r.instrument == 1 ? "i1" : "i2" : "settings") + "/" + symbol)
                continue;
            if (param_name(id) == info.name) ids_[id] = info.id;
        }
        if (std::count(ids_.begin(), ids_.end(), CLAP_INVALID_ID) != 0) return;
        if (!plugin_->activate(plugin_, rate, 1, 8192) || !plugin_->start_processing(plugin_)) return;
        ready_ = true;
    }

    ~clap_instance() override {
        if (plugin_) {
            if (ready_) {
                plugin_->stop_processing(plugin_);
                plugin_->deactivate(plugin_);
            }
            plugin_->destroy(plugin_);
        }
        if (entry_) entry_->deinit();
    }

    bool ok() const override { return ready_; }

    void run_block(int64_t pos, int n, std::span<const timed_midi> events) override {
        input_events in;
        for (int id = 0; id < PARAM_COUNT; ++id)
            if (!(controls[id] == sent_[id])) {
                input_events::event e{};
                e.param = {{sizeof(clap_event_param_value_t), 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0},
                           ids_[id], nullptr, -1, -1, -1, -1, controls[id]};
                in.events.push_back(e);
                sent_[id] = controls[id];
            }
        for (const timed_midi& m : events) {
            if (m.position != timed_midi::no_position) {
                rolling_from_ = m.frame;
                rolling_at_ = m.position;
                continue;
            }
            input_events::event e{};
            e.midi = {{sizeof(clap_event_midi_t), uint32_t(m.frame - pos), CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_MIDI, 0},
                      0, {m.bytes[0], m.bytes[1], m.bytes[2]}};
            in.events.push_back(e);
        }
        clap_event_transport_t transport{};
        transport.header = {sizeof transport, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
        if (rolling_from_ >= 0) {
            transport.flags = CLAP_TRANSPORT_IS_PLAYING | CLAP_TRANSPORT_HAS_SECONDS_TIMELINE;
            const double seconds = double(rolling_at_ + (pos - rolling_from_)) / rate_;
            transport.song_pos_seconds = clap_sectime(seconds * double(CLAP_SECTIME_FACTOR) + 0.5);
        }
        float* channels[2] = {out_[0].data(), out_[1].data()};
        clap_audio_buffer_t bus{};
        bus.data32 = channels;
        bus.channel_count = 2;
        clap_process_t process{};
        process.steady_time = pos;
        process.frames_count = uint32_t(n);
        process.transport = &transport;
        process.audio_outputs = &bus;
        process.audio_outputs_count = 1;
        process.in_events = &in.list;
        process.out_events = &no_output;
        plugin_->process(plugin_, &process);
    }

    std::vector<double> read_back() override {
        std::vector<double> v(PARAM_COUNT);
        for (int id = 0; id < PARAM_COUNT; ++id) params_->get_value(plugin_, ids_[id], &v[id]);
        return v;
    }

private:
    double rate_;
    const clap_plugin_params_t* params_ = nullptr;
    void* module_ = nullptr;
    const clap_plugin_entry_t* entry_ = nullptr;
    const clap_plugin_t* plugin_ = nullptr;
    std::vector<clap_id> ids_;
    std::vector<float> sent_;
    int64_t rolling_from_ = -1, rolling_at_ = 0;
    bool ready_ = false;
};

} // namespace

std::unique_ptr<plugin_instance> open_clap(const std::string& file, double rate) {
    return std::make_unique<clap_instance>(file, rate);
}
