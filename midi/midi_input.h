// The MIDI input device: opened by number, every short message straight to addData.
#pragma once

#include "platform/winmidi.h"

extern unsigned int midi_devnum; // device to open, counted from 0
extern HMIDIIN device;           // the open device, null while none is open

void initmidi(int devnum);
void midiopen();
void midiclose();
void midiCallback(HMIDIIN handle, unsigned int msg, unsigned long instance, unsigned long param1,
                  unsigned long param2);
