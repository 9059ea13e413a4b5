// The sound options on Linux: JACK or ALSA.
#include "app/audio_options.h"

bool audio_named(const std::string& name, audio_choice* choice) {
    if (name == "jack") *choice = audio_choice::jack;
    else if (name == "alsa") *choice = audio_choice::alsa;
    else if (name == "none") *choice = audio_choice::none;
    else if (name == "auto") *choice = audio_choice::automatic;
    else return false;
    return true;
}

std::string audio_names() { return "jack, alsa, none or auto"; }

std::string audio_usage() {
    return "  --audio A          jack, alsa, none, or auto: JACK when a server answers, else ALSA (default)\n"
           "  --period N         frames per ALSA buffer, 16 to 8192 (default 256; JACK uses the server's)\n"
           "  --rate N           samples per second on ALSA, 8000 to 192000 (default 44100; JACK uses\n"
           "                     the server's)\n";
}

std::string stop_requests() { return "SIGINT or SIGTERM"; }
