// A small VST3 host on the interface headers the framework ships
// (distrho/src/travesty): the plugin's factory, its component with the
// audio processor, the edit controller for the parameters' names and the
// MIDI mapping, through which the pedal, pitch bend and the panic controllers
// reach it as parameter changes at their frames, as VST3 hosts send them.
#include <algorithm>
#include <cstring>
#include <string>

#include "engine/params.h"
#include "plugin/ports.h"
#include "tests/plugin_instance.h"

#include "travesty/audio_processor.h"
#include "travesty/component.h"
#include "travesty/edit_controller.h"
#include "travesty/events.h"
#include "travesty/factory.h"

namespace {

// Host-side objects: a pointer to the vtable of the interface (the three
// funknown functions, then the interface's), then the data. An object is
// passed as the address of that pointer, and `self` is that address.
v3_result V3_API no_interface(void*, const v3_tuid, void** obj) {
    *obj = nullptr;
    return V3_NO_INTERFACE;
}
uint32_t V3_API one(void*) { return 1; }

struct event_list {
    v3_event_list_cpp* vtable;
    std::vector<v3_event> events;

    static event_list& of(void* self) { return *static_cast<event_list*>(self); }
    event_list() {
        static v3_event_list_cpp vt = [] {
            v3_event_list_cpp v{};
            v.query_interface = no_interface;
            v.ref = v.unref = one;
            v.list.get_event_count = [](void* self) -> uint32_t { return uint32_t(of(self).events.size()); };
            v.list.get_event = [](void* self, int32_t i, v3_event* e) -> v3_result {
                if (i < 0 || size_t(i) >= of(self).events.size()) return V3_INVALID_ARG;
                *e = of(self).events[size_t(i)];
                return V3_OK;
            };
            v.list.add_event = [](void*, v3_event*) -> v3_result { return V3_NOT_IMPLEMENTED; };
            return v;
        }();
        vtable = &vt;
    }
};

struct param_queue {
    v3_param_value_queue_cpp* vtable;
    v3_param_id id;
    std::vector<std::pair<int32_t, double>> points;

    static param_queue& of(void* self) { return *static_cast<param_queue*>(self); }
    explicit param_queue(v3_param_id i) : id(i) {
        static v3_param_value_queue_cpp vt = [] {
            v3_param_value_queue_cpp v{};
            v.query_interface = no_interface;
            v.ref = v.unref = one;
            v.queue.get_param_id = [](void* self) { return of(self).id; };
            v.queue.get_point_count = [](void* self) { return int32_t(of(self).points.size()); };
            v.queue.get_point = [](void* self, int32_t i, int32_t* offset, double* value) -> v3_result {
                if (i < 0 || size_t(i) >= of(self).points.size()) return V3_INVALID_ARG;
                *offset = of(self).points[size_t(i)].first;
                *value = of(self).points[size_t(i)].second;
                return V3_OK;
            };
            v.queue.add_point = [](void* self, int32_t offset, double value, int32_t* index) -> v3_result {
                of(self).points.push_back({offset, value});
                *index = int32_t(of(self).points.size() - 1);
                return V3_OK;
            };
            return v;
        }();
        vtable = &vt;
    }
};

struct param_changes {
    v3_param_changes_cpp* vtable;
    std::vector<param_queue> queues; // reserved up front: the queues must not move

    static param_changes& of(void* self) { return *static_cast<param_changes*>(self); }
    param_changes() {
        static v3_param_changes_cpp vt = [] {
            v3_param_changes_cpp v{};
            v.query_interface = no_interface;
            v.ref = v.unref = one;
            v.changes.get_param_count = [](void* self) { return int32_t(of(self).queues.size()); };
            v.changes.get_param_data = [](void* self, int32_t i) -> v3_param_value_queue** {
                if (i < 0 || size_t(i) >= of(self).queues.size()) return nullptr;
                return reinterpret_cast<v3_param_value_queue**>(&of(self).queues[size_t(i)]);
            };
            // What the plugin reports back is taken and dropped.
            v.changes.add_param_data = [](void* self, v3_param_id* id, int32_t* index) -> v3_param_value_queue** {
                param_changes& c = of(self);
                if (c.queues.size() == c.queues.capacity()) return nullptr;
                c.queues.emplace_back(*id);
                *index = int32_t(c.queues.size() - 1);
                return reinterpret_cast<v3_param_value_queue**>(&c.queues.back());
            };
            return v;
        }();
        vtable = &vt;
        queues.reserve(PARAM_COUNT + 64);
    }
    void add(v3_param_id id, int32_t offset, double value) {
        for (param_queue& q : queues)
            if (q.id == id) {
                q.points.push_back({offset, value});
                return;
            }
        queues.emplace_back(id);
        queues.back().points.push_back({offset, value});
    }
};

std::u16string utf16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

class vst3_instance : public plugin_instance {
public:
    vst3_instance(const std::string& bundle, double rate) : rate_(rate) {
        controls.resize(PARAM_COUNT);
        for (int id = 0; id < PARAM_COUNT; ++id) controls[id] = float(port_default(id));
        sent_ = controls;
#ifdef _WIN32
        const std::string library = bundle + "/Contents/x86_64-win/synth.vst3";
        const char* entry = "InitDll";
        using entry_fn = bool (*)();
#else
        const std::string library = bundle + "/Contents/x86_64-linux/synth.so";
        const char* entry = "ModuleEntry";
        using entry_fn = bool (*)(void*);
#endif
        module_ = load_module(library);
        if (!module_) return;
        auto enter = reinterpret_cast<entry_fn>(module_function(module_, entry));
        auto get_factory = reinterpret_cast<v3_plugin_factory** (*)()>(module_function(module_, "GetPluginFactory"));
#ifdef _WIN32
        if (!enter || !get_factory || !enter()) return;
#else
        if (!enter || !get_factory || !enter(module_)) return;
#endif
        v3_plugin_factory** factory = get_factory();
        if (!factory) return;
        for (int32_t i = 0, n = v3_cpp_obj(factory)->num_classes(factory); i < n && !component_; ++i) {
            v3_class_info info;
            if (v3_cpp_obj(factory)->get_class_info(factory, i, &info) != V3_OK) continue;
            if (std::strcmp(info.category, "Audio Module Class") != 0) continue;
            v3_cpp_obj(factory)->create_instance(factory, info.class_id, v3_component_iid,
                                                 reinterpret_cast<void**>(&component_));
        }
        v3_cpp_obj_unref(factory); // the host's reference, taken by GetPluginFactory
        if (!component_ || v3_cpp_obj_initialize(component_, nullptr) != V3_OK) return;
        v3_cpp_obj_query_interface(component_, v3_audio_processor_iid, &processor_);
        v3_cpp_obj_query_interface(component_, v3_edit_controller_iid, &controller_);
        v3_cpp_obj_query_interface(component_, v3_midi_mapping_iid, &mapping_);
        if (!processor_ || !controller_ || !mapping_) return;

        // Each parameter by its name, as the table (and the LV2 control) names it.
        ids_.assign(PARAM_COUNT, ~0u);
        for (int32_t i = 0, n = v3_cpp_obj(controller_)->get_parameter_count(controller_); i < n; ++i) {
            v3_param_info info;
            if (v3_cpp_obj(controller_)->get_parameter_info(controller_, i, &info) != V3_OK) continue;
            const std::u16string title(reinterpret_cast<const char16_t*>(info.title));
            for (int id = 0; id < PARAM_COUNT; ++id)
                if (title == utf16(param_name(id))) ids_[id] = info.param_id;
            if (info.flags & V3_PARAM_PROGRAM_CHANGE) program_ = info.param_id, programs_ = info.step_count + 1;
        }
        if (std::count(ids_.begin(), ids_.end(), ~0u) != 0) return;

        v3_process_setup setup{V3_REALTIME, V3_SAMPLE_32, 8192, rate};
        v3_cpp_obj(processor_)->setup_processing(processor_, &setup);
        v3_cpp_obj(component_)->activate_bus(component_, V3_AUDIO, V3_OUTPUT, 0, true);
        v3_cpp_obj(component_)->activate_bus(component_, V3_EVENT, V3_INPUT, 0, true);
        v3_cpp_obj(component_)->set_active(component_, true);
        v3_cpp_obj(processor_)->set_processing(processor_, true);
        ready_ = true;
    }

    ~vst3_instance() override {
        if (ready_) {
            v3_cpp_obj(processor_)->set_processing(processor_, false);
            v3_cpp_obj(component_)->set_active(component_, false);
        }
        if (controller_) v3_cpp_obj_unref(controller_);
        if (processor_) v3_cpp_obj_unref(processor_);
        if (component_) {
            auto* base = static_cast<v3_plugin_base*>(
                static_cast<void*>(reinterpret_cast<uint8_t*>(*component_) + sizeof(void*) * 3));
            base->terminate(component_);
            v3_cpp_obj_unref(component_);
        }
    }

    bool ok() const override { return ready_; }

    void run_block(int64_t pos, int n, std::span<const timed_midi> events) override {
        event_list list;
        param_changes changes;
        for (int id = 0; id < PARAM_COUNT; ++id)
            if (!(controls[id] == sent_[id])) {
                const param_kind& k = param_kinds[param_at(id).kind];
                changes.add(ids_[id], 0, (double(controls[id]) - k.lo) / (k.hi - k.lo));
                sent_[id] = controls[id];
            }
        for (const timed_midi& e : events) {
            if (e.position != timed_midi::no_position) {
                rolling_from_ = e.frame;
                rolling_at_ = e.position;
                continue;
            }
            add_midi(e, int32_t(e.frame - pos), list, changes);
        }
        v3_process_context ctx{};
        ctx.sample_rate = rate_;
        if (rolling_from_ >= 0) {
            ctx.state = V3_PROCESS_CTX_PLAYING | V3_PROCESS_CTX_PROJECT_TIME_VALID;
            ctx.project_time_in_samples = rolling_at_ + (pos - rolling_from_);
        }
        float* channels[2] = {out_[0].data(), out_[1].data()};
        v3_audio_bus_buffers bus{};
        bus.num_channels = 2;
        bus.channel_buffers_32 = channels;
        v3_process_data data{};
        data.process_mode = V3_REALTIME;
        data.symbolic_sample_size = V3_SAMPLE_32;
        data.nframes = n;
        data.num_output_buses = 1;
        data.outputs = &bus;
        param_changes reported;
        data.input_params = reinterpret_cast<v3_param_changes**>(&changes);
        data.output_params = reinterpret_cast<v3_param_changes**>(&reported);
        data.input_events = reinterpret_cast<v3_event_list**>(&list);
        data.ctx = &ctx;
        v3_cpp_obj(processor_)->process(processor_, &data);
    }

    std::vector<double> read_back() override {
        std::vector<double> v;
        for (int id = 0; id < PARAM_COUNT; ++id)
            v.push_back(v3_cpp_obj(controller_)->normalised_parameter_to_plain(
                controller_, ids_[id], v3_cpp_obj(controller_)->get_parameter_normalised(controller_, ids_[id])));
        return v;
    }

    bool load_program(int index) override {
        if (programs_ < 2) return false;
        return v3_cpp_obj(controller_)->set_parameter_normalised(controller_, program_,
                                                                 double(index) / (programs_ - 1)) == V3_OK;
    }

private:
    // A message as a VST3 host sends it: notes as note events, controllers
    // and pitch bend as changes of the parameters the MIDI mapping names.
    // Other messages have no VST3 form and are not sent.
    void add_midi(const timed_midi& e, int32_t at, event_list& list, param_changes& changes) {
        const int status = e.bytes[0] & 0xF0, channel = e.bytes[0] & 0x0F;
        if ((status == 0x90 || status == 0x80) && e.size == 3) {
            v3_event ev{};
            ev.sample_offset = at;
            ev.type = status == 0x90 ? V3_EVENT_NOTE_ON : V3_EVENT_NOTE_OFF;
            if (status == 0x90) {
                ev.note_on = {int16_t(channel), int16_t(e.bytes[1]), 0.0f, float(e.bytes[2]) / 127.0f, 0, -1};
            } else {
                ev.note_off = {int16_t(channel), int16_t(e.bytes[1]), float(e.bytes[2]) / 127.0f, -1, 0.0f};
            }
            list.events.push_back(ev);
            return;
        }
        int16_t cc;
        double value;
        if (status == 0xB0 && e.size == 3) cc = e.bytes[1], value = e.bytes[2] / 127.0;
        else if (status == 0xE0 && e.size == 3) cc = 129, value = (e.bytes[1] | e.bytes[2] << 7) / 16383.0;
        else return;
        v3_param_id id;
        if (v3_cpp_obj(mapping_)->get_midi_controller_assignment(mapping_, 0, int16_t(channel), cc, &id) == V3_OK)
            changes.add(id, at, value);
    }

    double rate_;
    void* module_ = nullptr;
    v3_component** component_ = nullptr;
    v3_audio_processor** processor_ = nullptr;
    v3_edit_controller** controller_ = nullptr;
    v3_midi_mapping** mapping_ = nullptr;
    std::vector<v3_param_id> ids_;
    v3_param_id program_ = 0;
    int32_t programs_ = 0;
    std::vector<float> sent_;
    int64_t rolling_from_ = -1, rolling_at_ = 0;
    bool ready_ = false;
};

} // namespace

std::unique_ptr<plugin_instance> open_vst3(const std::string& bundle, double rate) {
    return std::make_unique<vst3_instance>(bundle, rate);
}
