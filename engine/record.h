// An instrument's values as the instrument file holds them, by kind: the
// shape in which a whole instrument goes into the engine (synth_engine::load)
// and comes out of it (synth_engine::record). The file's bytes are
// files/instrument_file.h's.
#pragma once

#include <cstdint>

#include "engine/params.h"

// The values exactly as a file holds them (levels in thousandths), by kind
// (engine/params.h) as an instrument holds them: an envelope kind's value at
// oscillator 0. The same shape also carries the slider position of each
// value (slider_positions).
struct instrument_record {
    int32_t value[INSTRUMENT_KINDS][10];
    int32_t& at(int kind, int oscillator = 0) { return value[kind][oscillator]; }
    int32_t at(int kind, int oscillator = 0) const { return value[kind][oscillator]; }
};

// A level in thousandths, truncated toward zero (saturating at the int range).
int32_t thousandths(double level);

// A stored value as the engine takes it (levels: v / 1000.0), and the word
// a file stores for a value the engine holds (levels: thousandths, truncated;
// the rest as the whole number it is).
double record_engine_value(int kind, int32_t stored);
int32_t record_word(int kind, double engine_value);
