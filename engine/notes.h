// Note events: one MIDI short message in, note state out.
#pragma once

#include "engine/midi_message.h"

// A short message packed as the MIDI input delivers it: status byte in bits
// 0-7, first data byte in bits 8-15, second in bits 16-23.
// Note-on and note-off messages of the engine's channel (1 at start) start and
// release voices as the layering mode decides; everything else is ignored.
// Runs on the MIDI thread: no allocation, lock or system call.
class synth_engine;
void addData(synth_engine& engine, unsigned long message);
// The program's synthesizer.
void addData(unsigned long message);

// Level of a velocity byte: floor(v * v / 128).
int note_level(int velocity);

// Share t of the upper instrument in the fade modes, 0..1.
double fade_share(int note, int fade_lo, int fade_hi);
