// The sound options on Windows: WASAPI (shared mode) or MME.
#include "app/audio_options.h"

bool audio_named(const std::string& name, audio_choice* choice) {
    if (name == "wasapi") *choice = audio_choice::wasapi;
    else if (name == "mme") *choice = audio_choice::mme;
    else if (name == "none") *choice = audio_choice::none;
    else if (name == "auto") *choice = audio_choice::automatic;
    else return false;
    return true;
}

std::string audio_names() { return "wasapi, mme, none or auto"; }

std::string audio_usage() {
    return "  --audio A          wasapi, mme, none, or auto: WASAPI when the default output takes the\n"
           "                     stream, else MME (default)\n"
           "  --period N         frames per buffer, 16 to 8192 (default 256)\n"
           "  --rate N           samples per second, 8000 to 192000 (default 44100)\n";
}

std::string stop_requests() { return "Ctrl+C, Ctrl+Break or closing the console"; }
