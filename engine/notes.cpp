#include "engine/notes.h"

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

void addData(synth_engine& e, unsigned long message) {
    const int status = int(message & 0xFF);
    const int note = int((message >> 8) & 0xFF);
    const int vel = int((message >> 16) & 0xFF);
    if (note > 127 || vel > 127) return; // not a valid data byte

    const int ch = e.channel;
    if (ch != 0 && (status & 0x0F) != ch - 1) return;
    // A note-off releases the key like a note-on with velocity 0.
    if ((status & 0xF0) == 0x80) {
        e.noteon[note] = 0;
        return;
    }
    if ((status & 0xF0) != 0x90) return;

    e.noteon[note] = vel;
    const int L = note_level(vel);
    if (L == 0) return;

    instrument &i1 = e.i1, &i2 = e.i2;
    const int mode = e.multimode, split = e.splitkey, lo = e.fade1, hi = e.fade2;
    switch (layering(mode)) {
    case layering::instr1: start(i1, note, L); break;
    case layering::instr2: start(i2, note, L); break;
    case layering::split: start(note < split ? i1 : i2, note, L); break;
    case layering::inv_split: start(note < split ? i2 : i1, note, L); break;
    case layering::fade:
    case layering::inv_fade: {
        const bool fade = layering(mode) == layering::fade;
        double t = fade_share(note, lo, hi);
        int low_share = int((1.0 - t) * L), high_share = int(L * t);
        start(fade ? i1 : i2, note, low_share);
        start(fade ? i2 : i1, note, high_share);
        break;
    }
    default: break;
    }
}

void addData(unsigned long message) { addData(the_engine, message); }

void synth_engine::midi(unsigned long message) { addData(*this, message); }

bool pack_short_message(const unsigned char* bytes, size_t n, unsigned long* packed) {
    if (!bytes || n < 1 || n > 3) return false;
    if (!(bytes[0] & 0x80) || bytes[0] == 0xF0 || bytes[0] == 0xF7) return false;
    unsigned long v = bytes[0];
    for (size_t k = 1; k < n; ++k) {
        if (bytes[k] & 0x80) return false;
        v |= (unsigned long)bytes[k] << (8 * k);
    }
    *packed = v;
    return true;
}
