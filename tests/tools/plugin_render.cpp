// plugin_render FORMAT TUNE.mid RATE SEED OUT.raw: plays a MIDI file through
// the plugin in one format (lv2, vst3 or clap), in a host of the tests' own,
// and writes its output as 32-bit floats, for comparing the Linux and the
// Windows plugin byte for byte. The seed picks an instrument for each slot
// (every parameter at a random slider position), the layering mode and the
// block sizes (1 to 4096). The same seed gives the same run on every system.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "engine/midi_message.h"
#include "engine/params.h"
#include "files/midi_file.h"
#include "plugin/ports.h"
#include "tests/lv2_instance.h"

namespace {

std::unique_ptr<plugin_instance> open_plugin(const std::string& format, double rate) {
    if (format == "vst3") return open_vst3(SYNTH_VST3_BUNDLE, rate);
    if (format == "clap") return open_clap(SYNTH_CLAP_FILE, rate);
    void* module = load_module(SYNTH_LV2_BUNDLE "/synth" SYNTH_MODULE_SUFFIX);
    auto list = reinterpret_cast<LV2_Descriptor_Function>(module ? module_function(module, "lv2_descriptor") : nullptr);
    const LV2_Descriptor* d = list ? list(0) : nullptr;
    if (!d) return nullptr;
    return std::make_unique<lv2_instance>(d, SYNTH_LV2_BUNDLE, rate);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: plugin_render FORMAT TUNE.mid RATE SEED OUT.raw\n");
        return 2;
    }
    const int rate = std::atoi(argv[3]);
    std::string error;
    const auto tune = read_midi_file(argv[2], rate, &error);
    if (!tune) {
        std::fprintf(stderr, "plugin_render: %s\n", error.c_str());
        return 1;
    }
    auto plugin = open_plugin(argv[1], rate);
    if (!plugin || !plugin->ok()) {
        std::fprintf(stderr, "plugin_render: the %s plugin does not load\n", argv[1]);
        return 1;
    }
    std::mt19937 rng(uint32_t(std::strtoul(argv[4], nullptr, 10)));
    for (int id = 0; id < 2 * INSTRUMENT_PARAMS; ++id) {
        const param_kind& k = param_kinds[param_at(id).kind];
        plugin->controls[size_t(id)] = float(slider_value(param_at(id).kind, int(rng() % uint32_t(k.slider_max + 1))));
    }
    plugin->controls[size_t(param_id(0, K_MODE))] = float(rng() % LAYERINGS);
    std::vector<timed_midi> events;
    for (const midi_event& e : *tune) {
        timed_midi t{e.sample, {uint8_t(e.message), uint8_t(e.message >> 8), uint8_t(e.message >> 16)}};
        t.size = uint32_t(short_message_length(t.bytes[0]));
        events.push_back(t);
    }
    std::vector<int> blocks(64);
    for (int& b : blocks) b = 1 + int(rng() % 4096);
    const int64_t frames = (events.empty() ? 0 : events.back().frame) + 3 * int64_t(rate);
    bool stereo = true;
    const std::vector<float> out = plugin->play(events, frames, blocks, &stereo);
    FILE* f = std::fopen(argv[5], "wb");
    if (!f || std::fwrite(out.data(), sizeof(float), out.size(), f) != out.size() || std::fclose(f) != 0) {
        std::perror(argv[5]);
        return 1;
    }
    if (!stereo) {
        std::fprintf(stderr, "plugin_render: the right output is not the left\n");
        return 1;
    }
    return 0;
}
