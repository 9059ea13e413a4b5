// The host on Linux: the program's name for JACK and the ALSA sequencer,
// quiet ALSA and JACK libraries, the monotonic clock.
#include "platform/host.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <pa_jack.h>

#include <cerrno>
#include <ctime>

#include "platform/timed_messages.h"

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

void before_sound_library() {
    snd_lib_error_set_handler(alsa_quiet);
    jack_set_error_function(jack_quiet);
    jack_set_info_function(jack_quiet);
    // PortAudio brings up its JACK host API as well; its client, should a
    // JACK server answer, carries our name rather than "PortAudio".
    PaJack_SetClientName(program_name().c_str());
}

int64_t monotonic_ns() noexcept {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}
