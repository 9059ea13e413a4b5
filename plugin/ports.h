// The plugin's LV2 ports as the framework numbers them: the two audio
// outputs, the event input (MIDI and the host's transport), then one control
// per parameter of the parameter table, in the table's order.
#pragma once

#include "engine/params.h"

#define SYNTH_LV2_URI "urn:synth:additive"

enum : unsigned { PORT_OUT_LEFT, PORT_OUT_RIGHT, PORT_MIDI_IN, PORT_FIRST_CONTROL };

// A control's default: the start-up value, but for the MIDI channel, which
// in a host listens to every channel unless told otherwise.
inline double port_default(int id) {
    return param_at(id).kind == K_CHANNEL ? 0.0 : param_start(id);
}
