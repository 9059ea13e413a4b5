#include "engine/notes.h"

#include "engine/engine_state.h"

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

void start(instrument& in, int note, int level) { in.starts.post(note, level, int(in.at(K_FADELEN))); }

// A key goes up: released now, or held by the sustain pedal until it rises.
void key_up(engine_state& e, int note) {
    if (e.pedal && e.noteon[note] != 0) e.sustained[note] = true;
    else e.noteon[note] = 0;
}

void pedal_up(engine_state& e) {
    e.pedal = false;
    for (int note = 0; note < MIDI_NOTES; ++note)
        if (e.sustained[note]) {
            e.sustained[note] = false;
            e.noteon[note] = 0;
        }
}

// Sustain pedal, all sound off, reset all controllers, all notes off; other
// controllers (volume, pan, banks...) change nothing.
void controller(engine_state& e, int number, int value) {
    switch (number) {
    case 64:
        if (value >= 64) e.pedal = true;
        else if (e.pedal) pedal_up(e);
        break;
    case 120:
        for (instrument* in : {&e.i1, &e.i2}) {
            in->starts.clear();
            in->hush.store(true, std::memory_order_relaxed);
        }
        break;
    case 121:
        e.bend = 8192;
        if (e.pedal) pedal_up(e);
        break;
    case 123:
        for (int note = 0; note < MIDI_NOTES; ++note)
            if (e.noteon[note] != 0) key_up(e, note);
        break;
    default: break;
    }
}

} // namespace

namespace {

bool on_channel(unsigned long message, int channel) {
    return channel == 0 || int(message & 0x0F) == channel - 1;
}

} // namespace

bool synth_engine::on_its_channel(unsigned long message) const {
    return on_channel(message, int(state_->told[param_id(0, K_CHANNEL)].load()));
}

void engine_state::midi(unsigned long message) {
    engine_state& e = *this;
    const int status = int(message & 0xFF);
    const int note = int((message >> 8) & 0xFF);
    const int vel = int((message >> 16) & 0xFF);
    if (note > 127 || vel > 127) return; // not a valid data byte

    if (!on_channel(message, int(e.setting(K_CHANNEL)))) return;
    const bool controllers = e.setting(K_CONTROLLERS) != 0;
    if (!controllers && e.pedal) pedal_up(e); // switched off with the pedal down
    switch (status & 0xF0) {
    case 0x80: // a note-off releases the key like a note-on with velocity 0
        if (controllers) key_up(e, note);
        else e.noteon[note] = 0;
        return;
    case 0x90: break;
    case 0xB0:
        if (controllers) controller(e, note, vel);
        return;
    case 0xE0:
        if (controllers) e.bend = note | vel << 7;
        return;
    default: return;
    }

    if (vel == 0) {
        if (controllers) key_up(e, note);
        else e.noteon[note] = 0;
        return;
    }
    e.sustained[note] = false;
    e.noteon[note] = vel;
    const int L = note_level(vel);
    if (L == 0) return;

    instrument &i1 = e.i1, &i2 = e.i2;
    const int mode = int(e.setting(K_MODE)), split = int(e.setting(K_SPLITKEY)), lo = int(e.setting(K_FADE1)),
              hi = int(e.setting(K_FADE2));
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


int short_message_length(unsigned char status) {
    if (status < 0x80 || status == 0xF0 || status == 0xF7) return 0;
    if (status < 0xF0) return (status & 0xE0) == 0xC0 ? 2 : 3; // program change, channel pressure: 2
    if (status == 0xF1 || status == 0xF3) return 2;
    return status == 0xF2 ? 3 : 1;
}

bool pack_short_message(const unsigned char* bytes, size_t n, unsigned long* packed) {
    if (!bytes || n < 1 || n > 3) return false;
    const int length = short_message_length(bytes[0]);
    if (length == 0 || n < size_t(length)) return false;
    unsigned long v = bytes[0];
    for (size_t k = 1; k < n; ++k) {
        if (bytes[k] & 0x80) return false;
        v |= (unsigned long)bytes[k] << (8 * k);
    }
    *packed = v;
    return true;
}
