// What the device layers share: the program's name as other programs see it,
// and silence for the libraries' own chatter.
#pragma once

#include <string>

// The name our JACK and sequencer clients carry: the program's file name,
// cut to the length JACK allows.
const std::string& program_name();

// Routes the error and information messages of ALSA and JACK to nowhere.
// Safe to call any number of times; the first call does the work.
void quiet_libraries();
