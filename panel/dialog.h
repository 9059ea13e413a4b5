// The control panel: one table of dialog rows, drawn and run by Allegro's
// dialog manager, plus the panel's own procedures for the mode buttons and
// the "Save"/"Load" buttons.
//
// Layout: the top strip (y 0..59) holds the six mode buttons, the four global
// sliders with their captions and the picture; instrument 1's block fills
// y 90..339, instrument 2's block is the same 61 rows moved 400 pixels down.
#pragma once

#include <allegro.h>

#include "panel/callbacks.h"

constexpr int DIALOG_ROWS = 139;        // 138 objects and the terminator
constexpr int PICTURE_ROW = 13;
constexpr int INSTRUMENT_FIRST_ROW = 14; // first row of instrument 1's block
constexpr int INSTRUMENT_ROWS = 61;      // rows per instrument block
constexpr int INSTRUMENT_DY = 400;       // instrument 2 sits this far below instrument 1

extern int white;                        // the colour of every row, white at 16, 24 and 32 bpp
extern DIALOG the_dialog[DIALOG_ROWS];

class synth_engine;
// Points the rows that act (sliders, mode buttons, file buttons) at the
// engine they play, through each row's dp3.
void attach_engine(DIALOG* dialog, synth_engine& engine);

// The row of an instrument's slider (instrument 1 or 2) by kind and oscillator.
int slider_row(int instrument, int kind, int oscillator = 0);
int save_row(int instrument);
// The row of a global setting's slider (split key, fade points, transpose), or -1.
int global_row(int kind);
// The row of a layering mode's radio button (mode 0..5).
int mode_row(int mode);
int load_row(int instrument);

// Puts the picture into the picture row. With no picture the row draws
// nothing instead of drawing from a null bitmap.
void set_picture(BITMAP* picture);

// The panel's own dialog procedures.
int my_radio_proc(int msg, DIALOG* d, int c);
int my_button_proc(int msg, DIALOG* d, int c);

// What a click on a file button runs, by the button's action code (d2):
// save1, load1, save2, load2, given the button's engine. Tests may swap the
// entries.
using button_action = void (*)(synth_engine& engine);
extern button_action button_actions[4];

// A checkerboard outline of the rectangle (x1, y1)-(x2, y2), corners
// included, on `screen`: pixels whose coordinate sum has the parity of the
// top-left corner in fg, the others in bg.
void dotted_rect(int x1, int y1, int x2, int y2, int fg, int bg);
