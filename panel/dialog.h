// The control panel: one table of dialog rows, drawn and run by Allegro's
// dialog manager, plus the panel's own procedures for the mode buttons and
// the "Save"/"Load" buttons.
//
// The rows are the widgets of panel/layout.h, in its order.
#pragma once

#include <allegro.h>

#include "panel/callbacks.h"
#include "panel/layout.h"

constexpr int DIALOG_ROWS = PANEL_WIDGETS + 1; // the widgets and the terminator

extern int white;                        // the colour of every row, white at 16, 24 and 32 bpp
extern DIALOG the_dialog[DIALOG_ROWS];

class synth_engine;
// Points the rows that act (sliders, mode buttons, file buttons) at the
// engine they play, through each row's dp3.
void attach_engine(DIALOG* dialog, synth_engine& engine);

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
