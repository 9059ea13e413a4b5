// The panel as plain pixels, for a window that is not Allegro's (the
// plugin's): the still parts from the pictures make_panel_art draws with
// Allegro, the sliders drawn at their positions as Allegro draws them, and
// the mouse followed as Allegro's dialog follows it. A slider's value is
// the parameter table's conversion of its position, as in the program.
#pragma once

#include "panel/pixels.h"

class panel_view {
public:
    // From the pictures with every button up and down (panel/panel_art.h):
    // the start-up values shown, no button held.
    panel_view(const pixels& up, const pixels& down);

    const pixels& image() const { return image_; }

    // Shows a parameter's value (in the units of its kind, as the engine's
    // get gives it) on its slider, at the nearest position, or the layering
    // mode on its buttons. False when nothing on the panel changed.
    bool show(int param, double value);

    // What a press of the mouse button starts.
    struct press {
        enum { nothing, slider, mode, file } what = nothing;
        int param = -1;     // slider: the parameter it sets; mode: the mode parameter
        double value = 0.0; // its new value (slider: where the press put it; mode: the mode)
        bool changed = false; // slider: the press moved it
        int action = -1;    // file: 0 save 1, 1 load 1, 2 save 2, 3 load 2
    };
    press mouse_down(int x, int y);
    // While a slider is held: true, with its parameter's new value, when the
    // mouse moved it to another position.
    bool mouse_drag(int x, int y, int& param, double& value);
    // The button goes up: a held slider is let go, a file button comes up.
    void mouse_up();

    // The rectangle drawn since the last call (w 0: none).
    struct rect { int x, y, w, h; };
    rect take_dirty();

private:
    void draw_widget(int row);
    void touch(int row);

    pixels up_, down_, image_;
    int position_[PANEL_WIDGETS] = {};
    int mode_ = 0;
    int held_ = -1;    // the slider being dragged
    int pressed_ = -1; // the file button held down
    rect dirty_{0, 0, 0, 0};
};
