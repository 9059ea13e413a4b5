// The table of sound outputs a system has (platform/linux/outputs.cpp,
// platform/windows/outputs.cpp), in the order "auto" tries them, and what
// a row's functions share. The session (platform/live.h) knows outputs only
// through their rows.
#pragma once

#include <string>
#include <vector>

#include "platform/live.h"
#include "platform/sound_output.h"

class synth_engine;

// One open output: a stream rendering the engine, and the MIDI sources that
// play it. Deleting it closes whatever is still open.
class live_output {
public:
    virtual ~live_output() = default;
    virtual void stop_stream() = 0; // no render runs once this returns
    virtual void stop_midi() = 0;   // no MIDI message is taken once this returns
    virtual std::string connections() const = 0;
};

// A section of the device listing: its title and a name a line.
struct device_section {
    std::string title;
    std::vector<std::string> names;
};

struct output_row {
    const char* name;  // as --audio takes it
    const char* host;  // as the start line and live_session::host() say it; "" for none
    const char* usage; // what the row means, for the usage text
    bool own_clock;    // its period and rate are the server's, not --period's and --rate's
    // Opens the output playing `engine`, with the MIDI sources the settings
    // choose; null, with the reason in *why and *error (sound_ok when it is
    // not a PortAudio output's), when it cannot be had, nothing left open.
    live_output* (*open)(synth_engine& engine, const live_settings& settings, std::string* why,
                         sound_error_code* error);
    void (*close)(live_output* output); // null is fine
    // What there is to choose from; no sections for a row that lists nothing.
    std::vector<device_section> (*list)();
};

// This system's outputs, "none" last; `count` rows.
const output_row* output_rows(int* count);
// The row named `name`, or null.
const output_row* output_row_named(const std::string& name);

// The names with `between` between them, for a start line; `none` when there are none.
std::string joined(const std::vector<std::string>& names, const char* none, const char* between = ", ");

// ALSA, WASAPI and MME: a PortAudio stream on the host API's default device,
// played from the system's MIDI input, every message placed by arrival
// (platform/arrival_output.cpp). `host` names it in reasons and the start line.
live_output* open_arrival_output(sound_host api, const char* host, synth_engine& engine,
                                 const live_settings& settings, std::string* why, sound_error_code* error);
void close_output(live_output* output);
// The listing section of the host API's outputs.
device_section arrival_outputs(sound_host api, const char* host);
