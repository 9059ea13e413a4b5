// What both programs do before they play: the instrument files named on the
// command line go into the engine (no name keeps an instrument's start-up
// values), then the shared settings the command line gave.
#pragma once

#include <optional>
#include <string>

#include "engine/params.h"
#include "files/instrument_file.h"

class synth_engine;

struct instrument_files {
    std::string path[2];                        // instrument 1 and 2; empty: none
    std::optional<instrument_record> loaded[2]; // what was loaded, for the panel's sliders
};

// Loads the files into the engine and sets every setting whose `given` is
// true. False, with the file and the reason in *error, when a file cannot be
// had; the engine may then hold the files before it.
bool start_engine(synth_engine& engine, instrument_files& files, const int setting[KINDS],
                  const bool given[KINDS], std::string* error);
