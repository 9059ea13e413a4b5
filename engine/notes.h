// Note events: one MIDI short message in, note state out.
#pragma once

#include "engine/midi_message.h"

// Note routing (engine_state::midi, the door's MIDI messages): note-on and note-off messages of the
// engine's channel start and release voices as the layering mode decides;
// the sustain pedal, pitch bend and the panic messages act when the engine's
// `controllers` setting is on; everything else is ignored. No allocation,
// lock or system call.

// Level of a velocity byte: floor(v * v / 128).
int note_level(int velocity);

// Share t of the upper instrument in the fade modes, 0..1.
double fade_share(int note, int fade_lo, int fade_hi);
