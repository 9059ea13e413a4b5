// MIDI input: the device calls the program makes, over RtMidi (JACK MIDI when
// a JACK server answers, otherwise the ALSA sequencer).
//
// Devices are the MIDI sources a musician would pick, never a loopback
// ("Through") port or this program's own port. Every short message reaches the
// callback once, as MIM_DATA, in arrival order, on the MIDI library's thread.
// Failures are silent: no exception escapes and nothing is printed.
#pragma once

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

unsigned int midiInGetNumDevs();
MMRESULT midiInOpen(HMIDIIN* handle, unsigned int device, unsigned long callback,
                    unsigned long instance, unsigned long flags);
MMRESULT midiInStart(HMIDIIN handle);
MMRESULT midiInReset(HMIDIIN handle);
MMRESULT midiInClose(HMIDIIN handle);
