// Where everything on the 1024 x 768 panel sits: one table of its widgets,
// free of any graphics library. The program's Allegro dialog and the
// plugin's window are both built from it, so a slider stands at the same
// place in both.
//
// Layout: the top strip (y 0..59) holds the six mode buttons, the four global
// sliders with their captions and the picture; instrument 1's block fills
// y 90..339, instrument 2's block is the same 61 widgets moved 400 pixels down.
#pragma once

#include <array>

#include "engine/params.h"

constexpr int PANEL_W = 1024, PANEL_H = 768;

enum class widget_kind { clear, radio, slider, text, picture, button };

struct panel_widget {
    widget_kind kind;
    int x, y, w, h;
    // slider: the parameter it sets; radio: the layering mode it selects;
    // button: its action (0 save 1, 1 load 1, 2 save 2, 3 load 2); else -1.
    int target;
    const char* caption; // text, radio and button; else nullptr
};

constexpr int PANEL_WIDGETS = 138;
constexpr int PICTURE_ROW = 13;
constexpr int INSTRUMENT_FIRST_ROW = 14; // first widget of instrument 1's block
constexpr int INSTRUMENT_ROWS = 61;      // widgets per instrument block
constexpr int INSTRUMENT_DY = 400;       // instrument 2 sits this far below instrument 1

namespace panel_layout_detail {

// The global sliders: a slider and its caption, one row of the strip each.
struct global_slider { int row, kind; };
inline constexpr global_slider globals[] = {
    {7, K_SPLITKEY}, {9, K_FADE1}, {11, K_FADE2}, {136, K_TRANSPOSE}};

// Offsets of the widgets inside an instrument block.
constexpr int DIGITS = 0, VOLS = 10, FRQS = 20, WAVE_CAPTION = 30, WAVS = 31,
              VIB_CAPTION = 41, VIBS = 42, ENV_CAPTION = 52, ENVS = 53, SAVE = 59, LOAD = 60;
static_assert(LOAD + 1 == INSTRUMENT_ROWS);

inline constexpr const char* digit_captions[10] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};

constexpr panel_widget widget(widget_kind kind, int x, int y, int w, int h, int target = -1,
                              const char* caption = nullptr) {
    return {kind, x, y, w, h, target, caption};
}

constexpr void instrument_block(panel_widget* b, int n) {
    const int dy = (n - 1) * INSTRUMENT_DY;
    constexpr int top = 100, h = 200;
    // Per kind of oscillator parameter: its first widget and where its ten sliders sit.
    struct column { int first, x0, dx; };
    constexpr column columns[OSCILLATOR_KINDS] = {{VOLS, 0, 40}, {FRQS, 20, 40}, {WAVS, 500, 10}, {VIBS, 700, 10}};
    for (int k = 0; k < 10; ++k) {
        b[DIGITS + k] = widget(widget_kind::text, 40 * k, 90 + dy, 10, 10, -1, digit_captions[k]);
        for (int p = 0; p < OSCILLATOR_KINDS; ++p)
            b[columns[p].first + k] = widget(widget_kind::slider, columns[p].x0 + columns[p].dx * k,
                                             top + dy, 10, h, param_id(n, p, k));
    }
    b[WAVE_CAPTION] = widget(widget_kind::text, 500, 90 + dy, 100, 10, -1, "wave type");
    b[VIB_CAPTION] = widget(widget_kind::text, 700, 90 + dy, 100, 10, -1, "vibrato");
    b[ENV_CAPTION] = widget(widget_kind::text, 850, 90 + dy, 100, 10, -1, "attack/decay/release");
    // attacklen, attack, decaylen, decay, releaselen, fadelen side by side.
    for (int e = 0; e < ENVELOPE_KINDS; ++e)
        b[ENVS + e] = widget(widget_kind::slider, 850 + 10 * e, top + dy, 10, h, param_id(n, K_ATTACKLEN + e));
    const int action = (n - 1) * 2;
    b[SAVE] = widget(widget_kind::button, 0, 320 + dy, 100, 20, action, "Save");
    b[LOAD] = widget(widget_kind::button, 110, 320 + dy, 100, 20, action + 1, "Load");
}

constexpr std::array<panel_widget, PANEL_WIDGETS> make_layout() {
    std::array<panel_widget, PANEL_WIDGETS> t{};
    t[0] = widget(widget_kind::clear, 0, 0, 0, 0);
    for (int m = 0; m < LAYERINGS; ++m)
        t[1 + m] = widget(widget_kind::radio, 0, 10 * m, 100, 10, m, layering_captions[m]);
    for (auto g : globals) {
        const int y = g.row == 136 ? 30 : 10 * ((g.row - 7) / 2);
        t[g.row] = widget(widget_kind::slider, 150, y, 400, 10, param_id(0, g.kind));
        t[g.row + 1] = widget(widget_kind::text, 560, y, 100, 10, -1, param_kinds[g.kind].label);
    }
    t[PICTURE_ROW] = widget(widget_kind::picture, 824, 0, 200, 60);
    instrument_block(t.data() + INSTRUMENT_FIRST_ROW, 1);
    instrument_block(t.data() + INSTRUMENT_FIRST_ROW + INSTRUMENT_ROWS, 2);
    return t;
}

} // namespace panel_layout_detail

inline constexpr std::array<panel_widget, PANEL_WIDGETS> panel_layout = panel_layout_detail::make_layout();

// The widget of an instrument's slider (instrument 1 or 2) by kind and oscillator.
constexpr int slider_row(int n, int kind, int k = 0) {
    using namespace panel_layout_detail;
    const int first[OSCILLATOR_KINDS] = {VOLS, FRQS, WAVS, VIBS};
    return INSTRUMENT_FIRST_ROW + (n - 1) * INSTRUMENT_ROWS +
           (kind < OSCILLATOR_KINDS ? first[kind] + k : ENVS + kind - OSCILLATOR_KINDS);
}
// The widget of a global setting's slider (split key, fade points, transpose), or -1.
constexpr int global_row(int kind) {
    for (auto g : panel_layout_detail::globals)
        if (g.kind == kind) return g.row;
    return -1;
}
// The widget of a layering mode's radio button (mode 0..5).
constexpr int mode_row(int mode) { return 1 + mode; }
constexpr int save_row(int n) { return INSTRUMENT_FIRST_ROW + (n - 1) * INSTRUMENT_ROWS + panel_layout_detail::SAVE; }
constexpr int load_row(int n) { return INSTRUMENT_FIRST_ROW + (n - 1) * INSTRUMENT_ROWS + panel_layout_detail::LOAD; }
