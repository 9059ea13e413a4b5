// The sound outputs on Windows, in the order "auto" tries them: WASAPI
// (shared mode) when the default output takes the stream, else MME; or none.
#include "platform/outputs.h"

namespace {

live_output* open_wasapi(synth_engine& engine, const live_settings& s, std::string* why, sound_error_code* error) {
    return open_arrival_output(sound_host::wasapi, "WASAPI", engine, s, why, error);
}
live_output* open_mme(synth_engine& engine, const live_settings& s, std::string* why, sound_error_code* error) {
    return open_arrival_output(sound_host::mme, "MME", engine, s, why, error);
}
std::vector<device_section> list_wasapi() { return {arrival_outputs(sound_host::wasapi, "WASAPI")}; }
std::vector<device_section> list_mme() { return {arrival_outputs(sound_host::mme, "MME")}; }

const output_row rows[] = {
    {"wasapi", "WASAPI", "WASAPI (shared mode), when the default output takes the stream", false, open_wasapi,
     close_output, list_wasapi},
    {"mme", "MME", "MME on the default output", false, open_mme, close_output, list_mme},
    {"none", "", "no sound", false, nullptr, nullptr, nullptr},
};

} // namespace

const output_row* output_rows(int* count) {
    *count = int(sizeof rows / sizeof rows[0]);
    return rows;
}
