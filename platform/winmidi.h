// MIDI input: the device calls the program makes, over RtMidi (JACK MIDI when
// a JACK server answers, otherwise the ALSA sequencer).
//
// Devices are the MIDI sources a musician would pick, never a loopback
// ("Through") port or this program's own port. Every short message reaches the
// callback once, as MIM_DATA, in arrival order, on the MIDI library's thread.
// Failures are silent: no exception escapes and nothing is printed.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

typedef struct midi_in_device* HMIDIIN;
typedef unsigned int MMRESULT;
typedef void (*MIDIINPROC)(HMIDIIN handle, unsigned int msg, unsigned long instance,
                           unsigned long param1, unsigned long param2);

enum : unsigned int {
    MMSYSERR_NOERROR = 0,
    MMSYSERR_ERROR = 1,
    MMSYSERR_BADDEVICEID = 2,
    MMSYSERR_INVALHANDLE = 5,
    MMSYSERR_INVALPARAM = 11,
};
enum : unsigned int {
    CALLBACK_FUNCTION = 0x30000,
    MIM_OPEN = 0x3C1,
    MIM_CLOSE = 0x3C2,
    MIM_DATA = 0x3C3,
};

// Takes sources from the ALSA sequencer even when a JACK server answers.
void midi_use_alsa(bool alsa);
// The names of the sources present now, as midiInGetNumDevs counts them.
std::vector<std::string> midiInGetNames();

// The number of MIDI sources present now.
unsigned int midiInGetNumDevs();
// Opens source `device` (counted as midiInGetNumDevs counts) with a callback
// function (flags CALLBACK_FUNCTION); the callback gets MIM_OPEN at once, then
// MIM_DATA for each short message once midiInStart has been called.
MMRESULT midiInOpen(HMIDIIN* handle, unsigned int device, unsigned long callback,
                    unsigned long instance, unsigned long flags);
MMRESULT midiInStart(HMIDIIN handle);
// Stops input: no MIM_DATA after it returns, until midiInStart again.
MMRESULT midiInReset(HMIDIIN handle);
// Gives MIM_CLOSE, closes the source and frees the handle: once it returns,
// the callback is not called again.
MMRESULT midiInClose(HMIDIIN handle);

// Whether a port of the MIDI library, by the name it gives, is a source a
// musician would pick: not a loopback ("Through") port and not a port of the
// client named `own_client` (this program), which JACK may have renamed to
// "own_client-NN".
bool midi_source_usable(const std::string& port, const std::string& own_client);

