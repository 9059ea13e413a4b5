// The command line of the live program (build/synth): instrument files, the
// shared settings, the sound and MIDI choices and the headless mode.
#pragma once

#include <string>

#include "engine/params.h"
#include "platform/live.h"

struct live_options {
    std::string i1, i2;           // instrument files to load, empty: the defaults
    int setting[KINDS];           // the shared settings by kind, from the table's start-up values
    bool given[KINDS] = {};       // which of them the command line set
    live_settings devices;
    bool no_gui = false;
    bool list_devices = false;
    live_options();
};

enum class parse_result {
    run,        // go on with the options
    done,       // --help or --version printed what it should: exit 0
    bad_usage,  // *message holds the line to print before the usage: exit 2
};

parse_result parse_live_options(int argc, char** argv, live_options* o, std::string* message);

// The usage text, every option a line.
std::string live_usage();

// The most frames per buffer --period takes, and the fewest.
constexpr int MIN_PERIOD = 16;
constexpr int MAX_PERIOD = 8192;
