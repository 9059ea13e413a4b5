#include "panel/dialog.h"

#include "panel/file_buttons.h"

// Computed before the table below (same file, earlier definition), with the
// library's 32-bit channel layout as it stands before the library starts:
// all three channels full, so the low 16 and 24 bits are all ones as well.
int white = makecol32(255, 255, 255);

DIALOG the_dialog[DIALOG_ROWS];

button_action button_actions[4] = {save1, load1, save2, load2};

namespace {

// The global sliders: a slider and its caption, one row of the strip each.
constexpr struct { int row, kind; } globals[] = {
    {7, K_SPLITKEY}, {9, K_FADE1}, {11, K_FADE2}, {136, K_TRANSPOSE}};

// Offsets of the rows inside an instrument block.
constexpr int DIGITS = 0, VOLS = 10, FRQS = 20, WAVE_CAPTION = 30, WAVS = 31,
              VIB_CAPTION = 41, VIBS = 42, ENV_CAPTION = 52, ENVS = 53, SAVE = 59, LOAD = 60;
static_assert(LOAD + 1 == INSTRUMENT_ROWS);

const char* const digit_captions[10] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};

DIALOG row(DIALOG_PROC proc, int x, int y, int w, int h, int d1 = 0, int d2 = 0,
           const char* caption = nullptr, slider_callback callback = nullptr) {
    DIALOG d{};
    d.proc = proc;
    d.x = x;
    d.y = y;
    d.w = w;
    d.h = h;
    d.fg = white;
    d.bg = 0;
    d.d1 = d1;
    d.d2 = d2;
    d.dp = const_cast<char*>(caption);
    d.dp2 = reinterpret_cast<void*>(callback);
    return d;
}

// A slider for parameter `id`, its range and first position from the parameter table.
DIALOG slider(int x, int y, int w, int h, int id, slider_callback callback) {
    return row(d_slider_proc, x, y, w, h, param_kinds[param_at(id).kind].slider_max,
               slider_start(id), nullptr, callback);
}
DIALOG text(int x, int y, int w, const char* caption) {
    return row(d_text_proc, x, y, w, 10, 0, 0, caption);
}

void build_instrument_block(DIALOG* b, int n) {
    const int dy = (n - 1) * INSTRUMENT_DY;
    constexpr int top = 100, h = 200;
    // Per kind of oscillator parameter: its first row and where its ten sliders sit.
    struct column { int first, x0, dx; };
    const column columns[OSCILLATOR_KINDS] = {
        {VOLS, 0, 40}, {FRQS, 20, 40}, {WAVS, 500, 10}, {VIBS, 700, 10}};
    for (int k = 0; k < 10; ++k) {
        b[DIGITS + k] = text(40 * k, 90 + dy, 10, digit_captions[k]);
        for (int p = 0; p < OSCILLATOR_KINDS; ++p)
            b[columns[p].first + k] = slider(columns[p].x0 + columns[p].dx * k, top + dy, 10, h,
                                             param_id(n, p, k), param_callback(n, p, k));
    }
    b[WAVE_CAPTION] = text(500, 90 + dy, 100, "wave type");
    b[VIB_CAPTION] = text(700, 90 + dy, 100, "vibrato");
    b[ENV_CAPTION] = text(850, 90 + dy, 100, "attack/decay/release");
    // attacklen, attack, decaylen, decay, releaselen, fadelen side by side.
    for (int e = 0; e < ENVELOPE_KINDS; ++e)
        b[ENVS + e] = slider(850 + 10 * e, top + dy, 10, h, param_id(n, K_ATTACKLEN + e),
                             param_callback(n, K_ATTACKLEN + e));
    const int action = (n - 1) * 2; // 0 save 1, 1 load 1, 2 save 2, 3 load 2
    b[SAVE] = row(my_button_proc, 0, 320 + dy, 100, 20, 0, action, "Save");
    b[LOAD] = row(my_button_proc, 110, 320 + dy, 100, 20, 0, action + 1, "Load");
}

bool build_the_dialog() {
    DIALOG* t = the_dialog;
    t[0] = row(d_clear_proc, 0, 0, 0, 0);
    for (int m = 0; m < LAYERINGS; ++m)
        t[mode_row(m)] = row(my_radio_proc, 0, 10 * m, 100, 10, 0, m, layering_captions[m]);
    t[1].flags = D_SELECTED;
    // The global sliders: a slider and its caption, one row of the strip each.
    for (auto g : globals) {
        const int y = g.row == 136 ? 30 : 10 * ((g.row - 7) / 2);
        t[g.row] = slider(150, y, 400, 10, param_id(0, g.kind), param_callback(0, g.kind));
        t[g.row + 1] = text(560, y, 100, param_kinds[g.kind].label);
    }
    t[PICTURE_ROW] = row(d_bitmap_proc, 824, 0, 200, 60);
    t[PICTURE_ROW].fg = 0;
    build_instrument_block(t + INSTRUMENT_FIRST_ROW, 1);
    build_instrument_block(t + INSTRUMENT_FIRST_ROW + INSTRUMENT_ROWS, 2);
    t[138] = DIALOG{};
    return true;
}

// Filled during static initialisation, after `white` above.
const bool the_dialog_built = build_the_dialog();

int block_start(int n) { return INSTRUMENT_FIRST_ROW + (n - 1) * INSTRUMENT_ROWS; }

int no_picture_proc(int, DIALOG*, int) { return D_O_K; }

} // namespace

int slider_row(int n, int kind, int k) {
    const int first[OSCILLATOR_KINDS] = {VOLS, FRQS, WAVS, VIBS};
    return block_start(n) + (kind < OSCILLATOR_KINDS ? first[kind] + k : ENVS + kind - OSCILLATOR_KINDS);
}
int global_row(int kind) {
    for (auto g : globals)
        if (g.kind == kind) return g.row;
    return -1;
}
int mode_row(int mode) { return 1 + mode; }
int save_row(int n) { return block_start(n) + SAVE; }
int load_row(int n) { return block_start(n) + LOAD; }

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
