#include "midi/midi_input.h"

#include "engine/notes.h"

unsigned int midi_devnum = 0;
HMIDIIN device = nullptr;

void initmidi(int devnum) { midi_devnum = (unsigned int)devnum; }

void midiopen() {
    unsigned int d = midi_devnum;
    // A number equal to the count passes here and is refused by midiInOpen.
    if (d > midiInGetNumDevs()) return;
    if (midiInOpen(&device, d, (unsigned long)&midiCallback, 0, CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
        return;
    midiInStart(device);
}

void midiclose() {
    if (!device) return;
    if (midiInReset(device) != 0) return;
    if (midiInClose(device) != 0) return;
    device = nullptr;
}

void midiCallback(HMIDIIN, unsigned int msg, unsigned long, unsigned long param1, unsigned long) {
    if (msg == MIM_DATA) addData(param1);
}
