// The panel's input on X11: Allegro's background X thread parked, the
// dialog loops reading X input themselves.
#include "platform/panel_input.h"

#include <allegro.h>
#include <allegro/internal/aintern.h>
#include <allegro/platform/aintunix.h>

namespace {

// Allegro's exit functions take no pointer of ours: unparking at exit reads it here.
bool x_input_parked = false;

} // namespace

void unpark_library_input() {
    if (!x_input_parked) return;
    x_input_parked = false;
    _unix_bg_man->enable_interrupts(); // its thread must be free to end
}

void park_library_input() {
    if (x_input_parked || !_unix_bg_man || !_unix_bg_man->multi_threaded) return;
    _unix_bg_man->disable_interrupts();
    x_input_parked = true;
    _add_exit_func(unpark_library_input, "unpark X input"); // also on a fatal signal
}

void read_library_input() {
    if (x_input_parked) _xwin_handle_input();
}
