// The JACK output: one client (`synth`, or the name the server gives) with
// a MIDI input "midi_in" and two audio outputs "out_1", "out_2", at the
// server's rate, following it if it changes. Each process cycle renders
// exactly that cycle's frames and applies a MIDI event at its own frame
// offset: no latency is added to the server's own.
#pragma once

#include "platform/outputs.h"

live_output* open_jack_output(synth_engine& engine, const live_settings& settings, std::string* why,
                              sound_error_code* error);
// The server's playback ports and MIDI sources; nothing when no server answers.
std::vector<device_section> jack_devices();
