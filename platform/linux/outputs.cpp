// The sound outputs on Linux, in the order "auto" tries them: JACK when a
// server answers, else ALSA's default device; or none.
#include "platform/linux/jack_output.h"
#include "platform/outputs.h"

namespace {

live_output* open_alsa(synth_engine& engine, const live_settings& s, std::string* why, sound_error_code* error) {
    return open_arrival_output(sound_host::alsa, "ALSA", engine, s, why, error);
}
std::vector<device_section> list_alsa() { return {arrival_outputs(sound_host::alsa, "ALSA")}; }

const output_row rows[] = {
    {"jack", "JACK", "JACK, when a server answers", true, open_jack_output, close_output, jack_devices},
    {"alsa", "ALSA", "ALSA's default device", false, open_alsa, close_output, list_alsa},
    {"none", "", "no sound", false, nullptr, nullptr, nullptr},
};

} // namespace

const output_row* output_rows(int* count) {
    *count = int(sizeof rows / sizeof rows[0]);
    return rows;
}
