// The panel's still parts as the program draws them (written at build time
// by make_panel_art): two pictures, every mode and file button up, then
// every one down; sliders left out. Runs of one colour: a length in two
// bytes, low first, then red, green and blue.
#pragma once

#include "panel/pixels.h"

extern const unsigned char panel_art[];
extern const unsigned long panel_art_size;

// The two pictures read back from the runs; false if they do not make two
// whole pictures.
bool read_panel_art(const unsigned char* runs, unsigned long size, pixels& up, pixels& down);
