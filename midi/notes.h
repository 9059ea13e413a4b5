// Note events: one MIDI short message in, note state out.
#pragma once

#include <cstddef>

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

// Packs a short message of 1 to 3 bytes as addData takes it:
// status byte in bits 0-7, data bytes in bits 8-15 and 16-23. False for
// anything else (empty, no status byte, system-exclusive, a data byte above
// 127, longer than 3 bytes).
bool pack_short_message(const unsigned char* bytes, size_t n, unsigned long* packed);

// Packs a short message the way addData expects it.
constexpr unsigned long short_message(int status, int data1, int data2) {
    return (unsigned long)(status & 0xFF) | (unsigned long)(data1 & 0xFF) << 8 |
           (unsigned long)(data2 & 0xFF) << 16;
}
