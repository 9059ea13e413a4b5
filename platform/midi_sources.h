// MIDI input from the system's MIDI library: the ALSA sequencer through
// RtMidi on Linux (platform/linux/midi_sources.cpp), WinMM's input devices
// on Windows (platform/windows/midi_sources.cpp).
//
// Sources are the usable ones (midi_source_usable, platform/live.h), in the
// library's order. Failures are quiet: no exception escapes and nothing is
// printed. Every call comes from one thread, the program's main thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Takes one short message, packed as the engine takes it
// (engine/midi_message.h), in arrival order, on the MIDI library's thread
// (system-exclusive messages are dropped before it). It must not allocate,
// lock, block or do I/O.
using midi_message_callback = void (*)(unsigned long packed, void* user);

struct midi_source;

// What the listing calls the MIDI library: "ALSA sequencer", "WinMM".
const char* midi_library_name();
// The names of the sources present now.
std::vector<std::string> midi_sources();
// Opens source `index`, counted as midi_sources() counts; null when there is
// no such source or it cannot be opened.
midi_source* midi_source_open(size_t index, midi_message_callback callback, void* user);
// No callback runs once this returns; null is fine.
void midi_source_close(midi_source* source);
