// Fuzz target: the engine fed arbitrary note messages, instrument contents
// through its door (levels from not-a-number and infinities, as a file holds
// them, huge and negative lengths, wave codes out of range, whole instrument
// records) and settings within their ranges, played through the door and
// render_while_sounding on each oscillator code. Every sample is checked.
//
// Input: one byte for the oscillator code, five for the settings (mode,
// split, fade points, transposition), then operations, each a byte and its
// operands: a message of three bytes or of eight, samples to render, a field
// of an instrument and its value, or a whole instrument record.
#include <iterator>

#include "files/instrument_file.h"
#include "engine/notes.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// Values more likely to upset arithmetic than random bytes are.
const double SPECIAL_LEVELS[] = {__builtin_nan(""), __builtin_inf(), -__builtin_inf(), 1e308, -1e308,
                                 4.9e-324, -0.0, 0.0, 1.0, -1.0, 1e9, 2147483648.0};
const int32_t SPECIAL_COUNTS[] = {INT32_MIN, INT32_MAX, -1, 0, 1, 2, 4, -4, 1 << 30, -(1 << 30), 1000000, 392};

double level(fuzz_input& in) {
    const uint8_t k = in.take<uint8_t>();
    return k < 2 * std::size(SPECIAL_LEVELS) ? SPECIAL_LEVELS[k % std::size(SPECIAL_LEVELS)]
                                             : in.take<double>();
}
int32_t count(fuzz_input& in) {
    const uint8_t k = in.take<uint8_t>();
    return k < 2 * std::size(SPECIAL_COUNTS) ? SPECIAL_COUNTS[k % std::size(SPECIAL_COUNTS)]
                                             : in.take<int32_t>();
}

// One field of instrument n, or every oscillator's volume and wave, as an
// instrument file holds it: the whole instrument through the door.
void set_field(synth_engine& e, int n, fuzz_input& in) {
    instrument_record r = e.record(n);
    auto level_of = [&](int kind, int k) { r.at(kind, k) = record_word(kind, level(in)); };
    const uint8_t which = in.take<uint8_t>();
    const int k = which / 16 % OSCILLATORS;
    switch (which % 16) {
    case 0: r.at(K_FRQ, k) = count(in); break;
    case 1: level_of(K_VOL, k); break;
    case 2: r.at(K_WAV, k) = count(in); break;
    case 3: level_of(K_VIB, k); break;
    case 4: r.at(K_ATTACKLEN) = count(in); break;
    case 5: level_of(K_ATTACK, 0); break;
    case 6: r.at(K_DECAYLEN) = count(in); break;
    case 7: level_of(K_DECAY, 0); break;
    case 8: r.at(K_RELEASELEN) = count(in); break;
    case 9: r.at(K_FADELEN) = count(in); break;
    default: // every oscillator of the instrument at once
        for (int j = 0; j < OSCILLATORS; ++j) {
            level_of(K_VOL, j);
            r.at(K_WAV, j) = count(in);
        }
    }
    e.load(n, r);
}

void play(const uint8_t* data, size_t size, sink& out) {
    fuzz_input in{data, size};
    static const char* const codes[] = {"sse2", "avx2", "avx512"};
    select_oscillator_code(codes[in.take<uint8_t>() % 3]); // refused where the processor lacks it
    synth_engine& e = out.engine;
    e.set(param_id(0, K_MODE), in.take<uint8_t>() % 6);
    e.set(param_id(0, K_SPLITKEY), in.take<uint8_t>() % 101);
    e.set(param_id(0, K_FADE1), in.take<uint8_t>() % 101);
    e.set(param_id(0, K_FADE2), in.take<uint8_t>() % 101);
    e.set(param_id(0, K_TRANSPOSE), in.take<uint8_t>() % 51 - 25);
    while (!in.empty() && !out.spent()) {
        const uint8_t op = in.take<uint8_t>();
        const int n = op & 0x80 ? 2 : 1;
        switch (op % 8) {
        case 0:
        case 1: {
            const uint8_t status = in.take<uint8_t>(), d1 = in.take<uint8_t>(), d2 = in.take<uint8_t>();
            send(e, short_message(status, d1, d2));
            break;
        }
        case 2: send(e, in.take<unsigned long>()); break;
        case 3: out.stream(in.take<uint16_t>() % 2048 + 1); break;
        case 4: out.until_silent(in.take<uint16_t>() % 4096 + 1); break;
        case 5:
        case 6: set_field(e, n, in); break;
        default: {
            uint8_t record[INSTRUMENT_FILE_SIZE] = {};
            for (uint8_t& b : record) b = in.take<uint8_t>();
            e.load(n, decode_record(record));
        }
        }
    }
    out.until_silent(4096);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    check_every_sample([&](sink& out) { play(data, size, out); });
    return 0;
}
