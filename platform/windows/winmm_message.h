// A short message as WinMM's MIDI input hands it over (MIM_DATA): its bytes
// packed low byte first, status in bits 0-7, the data bytes in 8-15 and
// 16-23, and whatever the status does not take left over in the rest.
#pragma once

#include "engine/midi_message.h"

// The message packed as the engine takes it: only the bytes its status takes.
// False for a word that starts no short message (a data byte,
// system-exclusive).
inline bool pack_winmm_word(unsigned long word, unsigned long* packed) {
    const unsigned char bytes[3] = {static_cast<unsigned char>(word & 0xFF),
                                    static_cast<unsigned char>(word >> 8 & 0xFF),
                                    static_cast<unsigned char>(word >> 16 & 0xFF)};
    const int length = short_message_length(bytes[0]);
    return length > 0 && pack_short_message(bytes, size_t(length), packed);
}
