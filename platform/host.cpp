#include "platform/host.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>

#include <cerrno>
#include <mutex>

namespace {

void alsa_quiet(const char*, int, const char*, int, const char*, ...) {}
void jack_quiet(const char*) {}

} // namespace

const std::string& program_name() {
    static const std::string name = [] {
        std::string n = program_invocation_short_name ? program_invocation_short_name : "";
        if (n.empty()) n = "synth";
        size_t most = size_t(jack_client_name_size()) - 8; // room for JACK's "-NN" suffix
        if (n.size() > most) n.resize(most);
        return n;
    }();
    return name;
}

void quiet_libraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        snd_lib_error_set_handler(alsa_quiet);
        jack_set_error_function(jack_quiet);
        jack_set_info_function(jack_quiet);
    });
}
