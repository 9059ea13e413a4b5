// The bytes of a MIDI short message, packed into one word as the engine takes
// it: status byte in bits 0-7, first data byte in bits 8-15, second in bits
// 16-23. One rule for every input (JACK, ALSA, the plugin, MIDI files).
#pragma once

#include <cstddef>

// The bytes a short message of this status byte takes (1 to 3), 0 for a
// byte that starts none (a data byte, system-exclusive).
int short_message_length(unsigned char status);

// Packs a short message of 1 to 3 bytes as the engine takes it:
// status byte in bits 0-7, data bytes in bits 8-15 and 16-23. False for
// anything else (empty, no status byte, system-exclusive, a data byte above
// 127, longer than 3 bytes, or cut short: fewer bytes than its status takes).
bool pack_short_message(const unsigned char* bytes, size_t n, unsigned long* packed);

// Packs a short message from its status and data bytes.
constexpr unsigned long short_message(int status, int data1, int data2) {
    return (unsigned long)(status & 0xFF) | (unsigned long)(data1 & 0xFF) << 8 |
           (unsigned long)(data2 & 0xFF) << 16;
}
