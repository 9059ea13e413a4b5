// The plugin's programs (presets in LV2): every factory instrument
// (factory/instruments.txt, compiled into the plugin) for instrument 1, then
// every one for instrument 2. A program sets its instrument's parameters
// alone; the other instrument and the shared settings stay as they are.
#pragma once

#include <string>
#include <vector>

#include "engine/params.h"

struct factory_program {
    int instrument;      // 1 or 2
    std::string name;    // the factory instrument's name: "jazz-organ"
    std::string label;   // "Instrument 1: Jazz Organ"
    std::string lv2_uri; // "urn:synth:additive:preset:i1:jazz-organ"
    // The values of the instrument's parameters, in the table's units, in
    // the order of the parameter numbers of instrument 1 (add
    // (instrument - 1) * INSTRUMENT_PARAMS for the number).
    double values[INSTRUMENT_PARAMS];
};

// Made once, on first use (not on the audio thread).
const std::vector<factory_program>& factory_programs();
