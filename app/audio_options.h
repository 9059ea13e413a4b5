// What the live program's command line says about sound, as this system's
// live layer (platform/live.h) understands it: the --audio names, the usage
// lines of the sound options and how a headless run is asked to stop.
#pragma once

#include <string>

#include "platform/live.h"

// The choice --audio NAME stands for; false for a name this system lacks.
bool audio_named(const std::string& name, audio_choice* choice);
// The --audio names for a complaint: "jack, alsa, none or auto".
std::string audio_names();
// The usage lines of --audio, --period and --rate.
std::string audio_usage();
// What ends a --no-gui run: "SIGINT or SIGTERM".
std::string stop_requests();
