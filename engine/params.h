// The parameter table: every parameter of the synthesizer, once.
//
// Each kind of parameter has one row: its name, its range and unit, its
// start-up values, the panel slider's conversion from a position and the
// inverse from a stored value, and its place and scale in the instrument
// file. The panel rows, the slider callbacks, the file codec, the refresh
// after a load, the command-line options and the plugin's ports are all
// derived from it.
//
// Parameters are numbered 0 .. PARAM_COUNT - 1: instrument 1's 46, then
// instrument 2's 46 (the oscillator kinds ten times each, oscillator by
// oscillator within a kind, then the envelope kinds), then the eight settings
// shared by both instruments.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

enum class wave_type : int { sine, square, sawtooth, noise };
constexpr int WAVE_TYPES = 4;

// Keyboard layering: which instrument a note goes to.
enum class layering : int { instr1, instr2, split, inv_split, fade, inv_fade };
constexpr int LAYERINGS = 6;

// The names of the wave types and layering modes.
inline constexpr const char* const wave_names[WAVE_TYPES] = {"sine", "square", "sawtooth", "noise"};
// The panel's captions of the layering modes, and their names on a command line.
inline constexpr const char* const layering_captions[LAYERINGS] = {"instr 1", "instr 2", "split",
                                                   "inv. split", "fade", "inv. fade"};
inline constexpr const char* const layering_options[LAYERINGS] = {"instr1", "instr2", "split",
                                                  "inv-split", "fade", "inv-fade"};
inline constexpr const char* const off_on[2] = {"off", "on"};

enum class param_scope { oscillator, envelope, global };

// One kind of parameter. Values are in the engine's units; where `off` is set,
// the value 0 stands for the engine's `off_value` (a fade length of 0 means
// "no fade", -1 in the engine).
struct param_kind {
    const char* key;    // "vol", "attacklen", "splitkey"
    const char* label;  // "volume", "attack length", "split key"
    param_scope scope;
    bool integer;
    double lo, hi;      // the range a value is clamped to
    const char* unit;   // an LV2 unit name ("semitone12TET", "frame") or nullptr
    double start[2];    // start-up value in instrument 1 and 2 (globals: start[0])
    double start_first; // oscillator 0's start-up value where it differs (volume), else NaN
    // The panel slider, positions 0..slider_max (0: no slider):
    // value = offset + position * mul / div.
    int slider_max;
    double offset, mul, div;
    int slider_start;   // the position a slider shows when the panel opens
    // The instrument file: the 32-bit word (an oscillator's words are
    // 4 * k + file_word) and the scale of the stored integer (1000: thousandths).
    int file_word;
    int file_scale;
    bool off;           // 0 stands for off_value
    int off_value;
    const char* option; // the command-line option of a global setting, or nullptr
    const char* const* labels; // names of the values lo..hi of an enumeration, or nullptr
    const char* zero_name = nullptr; // what 0 means, where it means something apart
};

constexpr int OSCILLATOR_KINDS = 4;  // vol, frq, wav, vib: the panel's column order
constexpr int ENVELOPE_KINDS = 6;    // attacklen, attack, decaylen, decay, releaselen, fadelen
constexpr int GLOBAL_KINDS = 8;      // mode, splitkey, fade1, fade2, transpose, channel, bend_range, controllers
constexpr int KINDS = OSCILLATOR_KINDS + ENVELOPE_KINDS + GLOBAL_KINDS;
constexpr int INSTRUMENT_KINDS = OSCILLATOR_KINDS + ENVELOPE_KINDS; // the kinds each instrument has
constexpr int INSTRUMENT_PARAMS = OSCILLATOR_KINDS * 10 + ENVELOPE_KINDS;
constexpr int PARAM_COUNT = 2 * INSTRUMENT_PARAMS + GLOBAL_KINDS;

// Kinds by number.
enum kind_id : int {
    K_VOL, K_FRQ, K_WAV, K_VIB,
    K_ATTACKLEN, K_ATTACK, K_DECAYLEN, K_DECAY, K_RELEASELEN, K_FADELEN,
    K_MODE, K_SPLITKEY, K_FADE1, K_FADE2, K_TRANSPOSE, K_CHANNEL, K_BEND_RANGE, K_CONTROLLERS,
};
static_assert(K_CONTROLLERS + 1 == KINDS);

namespace param_table {
constexpr double N = std::numeric_limits<double>::quiet_NaN(); // no such value
constexpr auto O = param_scope::oscillator, E = param_scope::envelope, G = param_scope::global;

// Levels are stored in thousandths; everything else as the integer it is.
inline constexpr param_kind kinds[KINDS] = {
    // key, label, scope, integer, lo, hi, unit, start {i1, i2}, start_first,
    //   slider_max, offset, mul, div, slider_start, file_word, file_scale, off, off_value, option, labels
    {"vol", "volume", O, false, 0, 1, nullptr, {0, 0}, 1.0,
     100, 0, 1, 100, 0, 1, 1000, false, 0, nullptr, nullptr},
    {"frq", "pitch offset", O, true, -50, 50, "semitone12TET", {0, 0}, N,
     100, -50, 1, 1, 50, 0, 1, false, 0, nullptr, nullptr},
    {"wav", "wave type", O, true, 0, 3, nullptr, {0, 0}, N,
     3, 0, 1, 1, 0, 2, 1, false, 0, nullptr, wave_names},
    {"vib", "vibrato depth", O, false, 0, 1, nullptr, {0, 0}, N,
     50, 0, 1, 50, 0, 3, 1000, false, 0, nullptr, nullptr},
    {"attacklen", "attack length", E, true, 1, 20001, "frame", {100, 1}, N,
     100, 1, 200, 1, 0, 40, 1, false, 0, nullptr, nullptr},
    {"attack", "attack level", E, false, 0, 2, nullptr, {1, 1}, N,
     100, 0, 1, 50, 50, 41, 1000, false, 0, nullptr, nullptr},
    {"decaylen", "decay length", E, true, 1, 20001, "frame", {100, 1}, N,
     100, 1, 200, 1, 0, 43, 1, false, 0, nullptr, nullptr},
    {"decay", "sustain level", E, false, 0, 2, nullptr, {1, 1}, N,
     100, 0, 1, 50, 50, 44, 1000, false, 0, nullptr, nullptr},
    {"releaselen", "release length", E, true, 1, 20001, "frame", {100, 1}, N,
     100, 1, 200, 1, 0, 46, 1, false, 0, nullptr, nullptr},
    {"fadelen", "fade-out length", E, true, 0, 400000, "frame", {0, 0}, N,
     200, 0, 2000, 1, 0, 47, 1, true, -1, nullptr, nullptr},
    {"mode", "layering mode", G, true, 0, 5, nullptr, {0, 0}, N,
     0, 0, 1, 1, 0, -1, 1, false, 0, "mode", layering_captions},
    {"splitkey", "split key", G, true, 0, 100, nullptr, {50, 50}, N,
     100, 0, 1, 1, 50, -1, 1, false, 0, "split", nullptr},
    {"fade1", "lower fade point", G, true, 0, 100, nullptr, {50, 50}, N,
     100, 0, 1, 1, 50, -1, 1, false, 0, "fade1", nullptr},
    // The upper fade point's slider opens at 50 while the setting starts at 90.
    {"fade2", "upper fade point", G, true, 0, 100, nullptr, {90, 90}, N,
     100, 0, 1, 1, 50, -1, 1, false, 0, "fade2", nullptr},
    {"transpose", "transpose", G, true, -25, 25, "semitone12TET", {0, 0}, N,
     50, -25, 1, 1, 25, -1, 1, false, 0, "transpose", nullptr},
    // 0 takes every channel; 1..16 that channel alone.
    {"channel", "MIDI channel", G, true, 0, 16, nullptr, {1, 1}, N,
     0, 0, 1, 1, 0, -1, 1, false, 0, "channel", nullptr, "all"},
    // Semitones at full pitch bend, up or down.
    {"bend_range", "pitch-bend range", G, true, 0, 24, "semitone12TET", {2, 2}, N,
     0, 0, 1, 1, 0, -1, 1, false, 0, "bend-range", nullptr},
    // The sustain pedal, pitch bend and the panic messages; off: notes alone.
    {"controllers", "pedal, bend and panic messages", G, true, 0, 1, nullptr, {1, 1}, N,
     0, 0, 1, 1, 0, -1, 1, false, 0, "controllers", off_on},
};
} // namespace param_table

inline constexpr const param_kind (&param_kinds)[KINDS] = param_table::kinds;

// Where a parameter number points.
struct param_ref {
    int instrument; // 1 or 2; 0 for a global setting
    int kind;       // index into param_kinds
    int oscillator; // 0..9 for an oscillator kind, else 0
};

constexpr param_ref param_at(int id) {
    if (id >= 2 * INSTRUMENT_PARAMS) return {0, OSCILLATOR_KINDS + ENVELOPE_KINDS + id - 2 * INSTRUMENT_PARAMS, 0};
    const int n = id / INSTRUMENT_PARAMS + 1, i = id % INSTRUMENT_PARAMS;
    if (i < OSCILLATOR_KINDS * 10) return {n, i / 10, i % 10};
    return {n, OSCILLATOR_KINDS + i - OSCILLATOR_KINDS * 10, 0};
}

constexpr int param_id(int instrument, int kind, int oscillator = 0) {
    if (kind >= OSCILLATOR_KINDS + ENVELOPE_KINDS) return 2 * INSTRUMENT_PARAMS + kind - OSCILLATOR_KINDS - ENVELOPE_KINDS;
    const int base = (instrument - 1) * INSTRUMENT_PARAMS;
    if (kind < OSCILLATOR_KINDS) return base + kind * 10 + oscillator;
    return base + OSCILLATOR_KINDS * 10 + kind - OSCILLATOR_KINDS;
}

// "i1_vol3", "i2_attacklen", "splitkey".
std::string param_symbol(int id);
// "Instrument 1, oscillator 3 volume", "Instrument 2 attack length", "Split key".
std::string param_name(int id);
// The parameter a symbol names, or -1.
int param_by_symbol(const std::string& symbol);

// The start-up value of a parameter, in the units of its kind.
double param_start(int id);

// The value a slider position stands for, in the units of the kind (not
// limited to the range: a position beyond the slider gives a value beyond it).
double slider_value(int kind, int position);

// The slider position nearest a value in the units of the kind (0 for
// "off"), within 0..slider_max: a value a position gives comes back to it.
int slider_position_of(int kind, double value);

// The slider position of a stored value (the integer as the instrument file
// holds it: levels in thousandths), truncated toward zero and saturated to
// the int range. Positions are not limited to the slider's range.
int32_t slider_position(int kind, int32_t stored);

// Whether a stored value (as the instrument file holds it) is one that some
// position of the kind's slider gives.
bool on_slider(int kind, int32_t stored);

// The values a kind's slider gives, for messages: "0 to 1 in steps of 0.01",
// "-50 to 50", "1 to 20001 samples in steps of 200", "none, or 2000 to
// 400000 samples in steps of 2000".
std::string slider_values(int kind);

// The position a parameter's slider shows when the panel opens.
int slider_start(int id);

// A value in the units of its kind clamped to the kind's range, rounded to a
// whole number for integer kinds and to thousandths for levels (the file's
// resolution); not a number gives the bottom of the range.
double clamp_param(int kind, double value);

// The value the engine stores for a value of the table's units (`off` mapped).
inline double engine_value(int kind, double value) {
    const param_kind& k = param_kinds[kind];
    return k.off && value == 0.0 ? double(k.off_value) : value;
}
// Its inverse: the table's units for a value the engine holds.
inline double table_value(int kind, double engine) {
    const param_kind& k = param_kinds[kind];
    return k.off && engine == double(k.off_value) ? 0.0 : engine;
}
