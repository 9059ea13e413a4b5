// The panel's input on Windows: Allegro's input threads wait for the
// system's events, so there is nothing to park or read here.
#include "platform/panel_input.h"

void park_library_input() {}
void unpark_library_input() {}
void read_library_input() {}
