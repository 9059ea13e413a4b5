// Standard MIDI files put together byte by byte, for the tests, the fuzz
// corpus and the reader's benchmark.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace midi_builder {

using bytes = std::vector<uint8_t>;

inline void put_vlq(bytes& out, uint32_t n) {
    uint8_t b[5];
    int k = 0;
    do {
        b[k++] = uint8_t(n & 0x7F);
        n >>= 7;
    } while (n);
    while (k > 1) out.push_back(uint8_t(b[--k] | 0x80));
    out.push_back(b[0]);
}

struct track {
    bytes data;
    track& ev(uint32_t delta, const bytes& e) {
        put_vlq(data, delta);
        data.insert(data.end(), e.begin(), e.end());
        return *this;
    }
    track& on(uint32_t delta, int note, int vel, int ch = 0) {
        return ev(delta, {uint8_t(0x90 | ch), uint8_t(note), uint8_t(vel)});
    }
    track& tempo(uint32_t delta, uint32_t us) {
        return ev(delta, {0xFF, 0x51, 3, uint8_t(us >> 16), uint8_t(us >> 8), uint8_t(us)});
    }
    // A meta (0xFF, type) or system-exclusive (0xF0, 0xF7) event of length
    // bytes of fill.
    track& blob(uint32_t delta, bytes head, uint32_t length, uint8_t fill = 'x') {
        put_vlq(head, length);
        head.insert(head.end(), length, fill);
        return ev(delta, head);
    }
};

inline void put_chunk(bytes& out, const char* id, const bytes& body) {
    const auto n = uint32_t(body.size());
    out.insert(out.end(), id, id + 4);
    for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(n >> s));
    out.insert(out.end(), body.begin(), body.end());
}

inline bytes header(int format, int tracks, int division) {
    bytes out;
    put_chunk(out, "MThd",
              {uint8_t(format >> 8), uint8_t(format), uint8_t(tracks >> 8), uint8_t(tracks),
               uint8_t(division >> 8), uint8_t(division)});
    return out;
}

// A file of the given tracks, each closed by an end-of-track event.
inline bytes file(int format, int division, std::vector<track> tracks) {
    bytes out = header(format, int(tracks.size()), division);
    for (track& t : tracks) put_chunk(out, "MTrk", t.ev(0, {0xFF, 0x2F, 0}).data);
    return out;
}

} // namespace midi_builder
