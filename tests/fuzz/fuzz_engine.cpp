// Fuzz target: the engine fed arbitrary note messages, instrument contents
// (not-a-number, infinities, huge and negative lengths, wave codes out of
// range, whole instrument records) and settings within their ranges, played
// through the stream callback and render_until_silent on each oscillator
// code. Every sample is checked.
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

void set_field(instrument& ins, fuzz_input& in) {
    const uint8_t which = in.take<uint8_t>();
    const int k = which / 16 % OSCILLATORS;
    switch (which % 16) {
    case 0: ins.at(K_FRQ, k) = count(in); compute_oscsteps(ins); break;
    case 1: ins.at(K_VOL, k) = level(in); break;
    case 2: ins.at(K_WAV, k) = count(in); break;
    case 3: ins.at(K_VIB, k) = level(in); break;
    case 4: ins.at(K_ATTACKLEN) = count(in); break;
    case 5: ins.at(K_ATTACK) = level(in); break;
    case 6: ins.at(K_DECAYLEN) = count(in); break;
    case 7: ins.at(K_DECAY) = level(in); break;
    case 8: ins.at(K_RELEASELEN) = count(in); break;
    case 9: ins.at(K_FADELEN) = count(in); break;
    default: // every oscillator of the instrument at once
        for (int j = 0; j < OSCILLATORS; ++j) {
            ins.at(K_VOL, j) = level(in);
            ins.at(K_WAV, j) = count(in);
        }
    }
}

void play(const uint8_t* data, size_t size, sink& out) {
    fuzz_input in{data, size};
    static const char* const codes[] = {"sse2", "avx2", "avx512"};
    select_oscillator_code(codes[in.take<uint8_t>() % 3]); // refused where the processor lacks it
    synth_engine& e = out.engine;
    e.multimode = in.take<uint8_t>() % 6;
    e.splitkey = in.take<uint8_t>() % 101;
    e.fade1 = in.take<uint8_t>() % 101;
    e.fade2 = in.take<uint8_t>() % 101;
    e.transpose = in.take<uint8_t>() % 51 - 25;
    while (!in.empty() && !out.spent()) {
        const uint8_t op = in.take<uint8_t>();
        instrument& ins = op & 0x80 ? e.i2 : e.i1;
        switch (op % 8) {
        case 0:
        case 1: {
            const uint8_t status = in.take<uint8_t>(), d1 = in.take<uint8_t>(), d2 = in.take<uint8_t>();
            e.midi(short_message(status, d1, d2));
            break;
        }
        case 2: e.midi(in.take<unsigned long>()); break;
        case 3: out.stream(in.take<uint16_t>() % 2048 + 1); break;
        case 4: out.until_silent(in.take<uint16_t>() % 4096 + 1); break;
        case 5:
        case 6: set_field(ins, in); break;
        default: {
            uint8_t record[INSTRUMENT_FILE_SIZE] = {};
            for (uint8_t& b : record) b = in.take<uint8_t>();
            apply_record(decode_record(record), ins);
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
