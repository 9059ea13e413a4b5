// How the panel's dialog loops get their input from Allegro. On X11
// (platform/linux/panel_input.cpp) Allegro reads X input on a background thread that
// wakes 100 times a second whatever happens; once the panel is up that
// thread is parked and the dialog loops read the input themselves, as often
// as the player needs. On Windows (platform/windows/panel_input.cpp) Allegro's own
// input threads wait for the system's events and are left alone.
#pragma once

void park_library_input();
void unpark_library_input();
// Reads the input that came since the last call, where the library's own
// reader is parked; called once per pass of every dialog loop.
void read_library_input();
