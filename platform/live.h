// Live playing: one synth_engine on a sound output, played from MIDI sources,
// every message taking effect at the frame it belongs to.
//
// Under JACK the program is one client (`synth`, or the name the server gives)
// with a MIDI input "midi_in" and two audio outputs "out_1", "out_2", and the
// engine plays at the server's rate, following it if it changes. Each
// process cycle renders exactly that cycle's frames and applies a MIDI event
// at its own frame offset: no latency is added to the server's own.
// On ALSA the stream takes buffers of `period` frames and every message from
// the ALSA sequencer is placed in the buffer by its arrival time, one buffer
// late, always the same.
// On Windows (live_windows.cpp) the stream is PortAudio's on WASAPI or MME,
// in buffers of `period` frames, and MIDI comes from WinMM's input devices,
// placed by arrival time as on ALSA.
//
// All functions run on the program's main thread.
#pragma once

#include <string>

class synth_engine;

// jack and alsa on Linux (live.cpp), wasapi and mme on Windows (live_windows.cpp).
enum class audio_choice { automatic, jack, alsa, none, wasapi, mme };
enum class midi_choice { first, all, named, none };

struct live_settings {
    audio_choice audio = audio_choice::automatic; // automatic: JACK when it answers, else ALSA (Windows: WASAPI, else MME)
    int period = 256;                             // frames per ALSA (WASAPI, MME) buffer
    int rate = 44100;                             // samples per second on ALSA, WASAPI, MME (JACK: the server's)
    midi_choice midi = midi_choice::first;        // first: the first source that is no loopback
    std::string midi_name;                        // named: sources whose name contains this
};

// Brings up sound and MIDI and starts rendering `engine`. With
// audio_choice::automatic nothing found is no failure (the program runs
// silent); with jack or alsa, false when that output cannot be had, with the
// reason in *why, and nothing left open.
bool live_open(synth_engine& engine, const live_settings& settings, std::string* why);

// One line: the host, where the outputs go and which MIDI sources play.
std::string live_connections();
// "JACK", "ALSA", or "" while no output is up.
const char* live_host();

// Shutdown, in this order. Each may be called when nothing is open.
void live_close_stream(); // no render runs once this returns
void live_close_midi();   // no MIDI message is taken once this returns
void live_close();        // the sound library is down

// The outputs and MIDI sources there are to choose from, a line each.
std::string live_devices();
