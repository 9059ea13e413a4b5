// MIDI input from the ALSA sequencer, over RtMidi.
//
// Sources are the ones a musician would pick: never a loopback ("Through")
// port or this program's own port. Failures are quiet: no exception escapes
// and nothing is printed. Every call comes from one thread, the program's
// main thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Takes one short message of 1 to 3 bytes, in arrival order, on the MIDI
// library's thread (system-exclusive messages are dropped before it).
using midi_message_callback = void (*)(const unsigned char* bytes, size_t size, void* user);

struct midi_source;

// The names of the sources present now.
std::vector<std::string> midi_sources();
// Opens source `index`, counted as midi_sources() counts; null when there is
// no such source or it cannot be opened.
midi_source* midi_source_open(size_t index, midi_message_callback callback, void* user);
// No callback runs once this returns; null is fine.
void midi_source_close(midi_source* source);

// Whether a port of the MIDI library, by the name it gives, is a source a
// musician would pick: not a loopback ("Through") port and not a port of the
// client named `own_client` (this program), which JACK may have renamed to
// "own_client-NN".
bool midi_source_usable(const std::string& port, const std::string& own_client);
