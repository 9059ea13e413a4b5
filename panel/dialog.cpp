#include "panel/dialog.h"

#include "panel/file_buttons.h"

// Computed before the table below (same file, earlier definition), with the
// library's 32-bit channel layout as it stands before the library starts:
// all three channels full, so the low 16 and 24 bits are all ones as well.
int white = makecol32(255, 255, 255);

DIALOG the_dialog[DIALOG_ROWS];

button_action button_actions[4] = {save1, load1, save2, load2};

namespace {

DIALOG row(DIALOG_PROC proc, const panel_widget& w, int d1 = 0, int d2 = 0, void* callback = nullptr) {
    DIALOG d{};
    d.proc = proc;
    d.x = w.x;
    d.y = w.y;
    d.w = w.w;
    d.h = w.h;
    d.fg = white;
    d.bg = 0;
    d.d1 = d1;
    d.d2 = d2;
    d.dp = const_cast<char*>(w.caption);
    d.dp2 = callback;
    return d;
}

// The dialog's rows, one for each widget of the layout, in its order.
bool build_the_dialog() {
    for (int r = 0; r < PANEL_WIDGETS; ++r) {
        const panel_widget& w = panel_layout[size_t(r)];
        DIALOG& d = the_dialog[r];
        switch (w.kind) {
        case widget_kind::clear: d = row(d_clear_proc, w); break;
        case widget_kind::text: d = row(d_text_proc, w); break;
        case widget_kind::picture: d = row(d_bitmap_proc, w); d.fg = 0; break;
        // One group; d2 is the mode it selects.
        case widget_kind::radio: d = row(my_radio_proc, w, 0, w.target); break;
        case widget_kind::button: d = row(my_button_proc, w, 0, w.target); break;
        case widget_kind::slider: {
            // Its range and first position from the parameter table.
            const param_ref p = param_at(w.target);
            d = row(d_slider_proc, w, param_kinds[p.kind].slider_max, slider_start(w.target),
                    reinterpret_cast<void*>(param_callback(p.instrument, p.kind, p.oscillator)));
            break;
        }
        }
    }
    the_dialog[mode_row(0)].flags = D_SELECTED;
    the_dialog[PANEL_WIDGETS] = DIALOG{};
    return true;
}

// Filled during static initialisation, after `white` above.
const bool the_dialog_built = build_the_dialog();

int no_picture_proc(int, DIALOG*, int) { return D_O_K; }

} // namespace

void attach_engine(DIALOG* dialog, synth_engine& engine) {
    for (int r = 0; r + 1 < DIALOG_ROWS; ++r) {
        DIALOG& d = dialog[r];
        if (d.proc == d_slider_proc || d.proc == my_radio_proc || d.proc == my_button_proc) d.dp3 = &engine;
    }
}

void set_picture(BITMAP* picture) {
    DIALOG& d = the_dialog[PICTURE_ROW];
    d.dp = picture;
    d.proc = picture ? d_bitmap_proc : no_picture_proc;
}
