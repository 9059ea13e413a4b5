// Fuzz target: the instrument file decoder. The first 192 bytes (zeros
// where the input is shorter) are a file: decoding and encoding again gives
// the same bytes but for the reserved words; slider positions are computed;
// the record, loaded into an instrument and stored back, keeps every count
// and loses at most one thousandth of each level. The rest of the input
// picks the instrument and notes to play with it; every sample is checked.
#include <cstdlib>

#include "files/instrument_file.h"
#include "engine/notes.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

bool within_a_thousandth(int32_t stored, int32_t read) {
    return read == stored || int64_t(read) == int64_t(stored) - (stored > 0 ? 1 : -1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_input in{data, size};
    uint8_t file[INSTRUMENT_FILE_SIZE];
    for (uint8_t& b : file) b = in.take<uint8_t>();

    const instrument_record r = decode_record(file);
    uint8_t again[INSTRUMENT_FILE_SIZE];
    encode_record(r, again);
    for (size_t i = 0; i < INSTRUMENT_FILE_SIZE; ++i) {
        const bool reserved = i / 4 == 42 || i / 4 == 45;
        FUZZ_CHECK(again[i] == (reserved ? (i % 4 == 0 ? 9 : 0) : file[i]));
    }
    (void)slider_positions(r);

    const bool second = in.take<uint8_t>() & 1;
    const fuzz_input notes = in;
    check_every_sample([&](sink& out) {
        out.engine.set(param_id(0, K_MODE), second ? 1 : 0);
        out.engine.load(second ? 2 : 1, r);
        const instrument_record back = out.engine.record(second ? 2 : 1);
        for (int k = 0; k < 10; ++k) {
            FUZZ_CHECK(back.at(K_FRQ, k) == r.at(K_FRQ, k) && back.at(K_WAV, k) == r.at(K_WAV, k));
            FUZZ_CHECK(within_a_thousandth(r.at(K_VOL, k), back.at(K_VOL, k)) && within_a_thousandth(r.at(K_VIB, k), back.at(K_VIB, k)));
        }
        FUZZ_CHECK(back.at(K_ATTACKLEN) == r.at(K_ATTACKLEN) && back.at(K_DECAYLEN) == r.at(K_DECAYLEN) &&
                   back.at(K_RELEASELEN) == r.at(K_RELEASELEN) && back.at(K_FADELEN) == r.at(K_FADELEN));
        FUZZ_CHECK(within_a_thousandth(r.at(K_ATTACK), back.at(K_ATTACK)) && within_a_thousandth(r.at(K_DECAY), back.at(K_DECAY)));
        // Notes: a key and a velocity, then up to 1023 samples.
        fuzz_input n = notes;
        while (!n.empty() && !out.spent()) {
            const uint8_t key = n.take<uint8_t>(), velocity = n.take<uint8_t>();
            send(out.engine, short_message(0x90, key & 0x7F, velocity & 0x7F));
            out.stream(n.take<uint16_t>() % 1024);
        }
        out.until_silent(4096);
    });
    return 0;
}
