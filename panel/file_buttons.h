// Saving and loading an instrument from the panel's "Save" and "Load" buttons.
//
// Each button opens the file selector on the current folder. A cancelled
// selector does nothing. A save or load that fails shows one short alert
// naming the file and the reason, and leaves the instrument and the sliders
// as they were. Runs on the GUI thread.
#pragma once

#include <string>

#include "files/instrument_file.h"

struct DIALOG;
class synth_engine;

void save1(synth_engine& engine);
void load1(synth_engine& engine);
void save2(synth_engine& engine);
void load2(synth_engine& engine);

// The work behind the buttons, without the selector or the alert.
// instrument_number is 1 or 2. A load stores the file's values into the
// engine's instrument, recomputes its phase steps and moves its sliders on
// the panel; on failure nothing changes and error says why.
bool save_instrument(const synth_engine& engine, int instrument_number, const std::string& path,
                     std::string* error);
bool load_instrument(synth_engine& engine, int instrument_number, const std::string& path, std::string* error);

// Moves the sliders of one instrument to the positions the stored values give
// and marks those rows for redrawing. Positions are not limited to a slider's
// range; captions, buttons and the global sliders are left alone.
void refresh_sliders(DIALOG* dialog, int instrument_number, const instrument_record& stored);

// Shows the engine's value of a shared setting (engine/params.h kind): moves
// its global slider, or selects the mode's radio button alone, and marks the
// rows for redrawing. Kinds without a control on the panel change nothing.
void refresh_setting(DIALOG* dialog, const synth_engine& engine, int kind);

// The two lines of a failure alert: what failed with the file's name, and why.
struct failure_lines {
    std::string what, why;
};
failure_lines describe_failure(const std::string& action, const std::string& path,
                               const std::string& error);
