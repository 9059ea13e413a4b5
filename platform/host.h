// What the device layers ask of the system they run on: the program's name
// as other programs see it, and the preparations before a sound library
// comes up (platform/linux/host.cpp, platform/windows/host.cpp).
#pragma once

#include <string>

// The name our JACK and sequencer clients carry: the program's file name,
// cut to the length JACK allows.
const std::string& program_name();

// Before PortAudio, JACK or a MIDI library comes up: on Linux, routes the
// error and information messages of ALSA and JACK to nowhere and names
// PortAudio's own JACK client after the program. Safe to call any number of
// times.
void before_sound_library();
