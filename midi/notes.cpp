#include "midi/notes.h"

#include "engine/engine.h"

int note_level(int velocity) { return velocity * velocity / 128; }

double fade_share(int note, int fade_lo, int fade_hi) {
    if (fade_lo == fade_hi) // degenerate fade: a split at that key, the key itself upper
        return note < fade_lo ? 0.0 : 1.0;
    double t = double(note - fade_lo) / double(fade_hi - fade_lo);
    if (t < 0) t = 0;
    if (t > 1) t = 1;
    return t;
}

namespace {

void start(instrument& in, int note, int level) { in.starts.post(note, level, in.fadelen); }

} // namespace

void addData(unsigned long message) {
    const int status = int(message & 0xFF);
    const int note = int((message >> 8) & 0xFF);
    const int vel = int((message >> 16) & 0xFF);
    if (note > 127 || vel > 127) return; // not a valid data byte

    // A note-off on channel 1 releases the key like a note-on with velocity 0.
    if (status == 0x80) {
        noteon[note] = 0;
        return;
    }
    if (status != 0x90) return;

    noteon[note] = vel;
    const int L = note_level(vel);
    if (L == 0) return;

    const int mode = multimode, split = splitkey, lo = fade1, hi = fade2;
    switch (mode) {
    case 0: start(i1, note, L); break;
    case 1: start(i2, note, L); break;
    case 2: start(note < split ? i1 : i2, note, L); break;
    case 3: start(note < split ? i2 : i1, note, L); break;
    case 4:
    case 5: {
        double t = fade_share(note, lo, hi);
        int low_share = int((1.0 - t) * L), high_share = int(L * t);
        start(mode == 4 ? i1 : i2, note, low_share);
        start(mode == 4 ? i2 : i1, note, high_share);
        break;
    }
    default: break;
    }
}
