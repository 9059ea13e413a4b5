// The mode buttons and the file buttons of the panel.
#include "engine/engine.h"
#include "panel/dialog.h"

namespace {

void redraw(DIALOG* d) {
    scare_mouse();
    object_message(d, MSG_DRAW, 0);
    unscare_mouse();
}

void draw_radio(DIALOG* d) {
    const int f = (d->flags & D_DISABLED) ? gui_mg_color : d->fg;
    const int b = d->bg < 0 ? gui_bg_color : d->bg;
    const int th = text_height(font);
    // The caption's background is the row's own bg: negative draws it transparent.
    gui_textout_ex(screen, static_cast<const char*>(d->dp), d->x + d->h + th - 1,
                   d->y + (d->h - (th - gui_font_baseline)) / 2, f, d->bg, FALSE);
    const int r = d->h / 2, cx = d->x + r, cy = d->y + r;
    rectfill(screen, d->x, d->y, d->x + d->h - 1, d->y + d->h - 1, b);
    circle(screen, cx, cy, r, f);
    if (d->flags & D_SELECTED) circlefill(screen, cx, cy, r / 2, f);
    if (d->flags & D_GOTFOCUS) dotted_rect(d->x, d->y, d->x + d->h - 1, d->y + d->h - 1, f, b);
}

void draw_button(DIALOG* d) {
    const int a = (d->flags & D_DISABLED) ? gui_mg_color : d->fg; // face
    const int i = d->bg;                                            // ink
    const int x = d->x, y = d->y, w = d->w, h = d->h;
    rectfill(screen, x + 2, y + 2, x + w - 2, y + h - 2, a);
    rect(screen, x + 1, y + 1, x + w - 1, y + h - 1, i);
    gui_textout_ex(screen, static_cast<const char*>(d->dp), x + w / 2 + 1,
                   y + h / 2 - text_height(font) / 2 + 1, i, -1, TRUE);
    if (d->flags & D_SELECTED) {
        vline(screen, x, y, y + h - 2, d->bg);
        hline(screen, x, y, x + w - 2, d->bg);
    } else {
        const int black = makecol(0, 0, 0);
        vline(screen, x + w - 1, y + 1, y + h - 2, black);
        hline(screen, x + 1, y + h - 1, x + w - 1, black);
    }
    const bool pressed_exit = (d->flags & D_SELECTED) && (d->flags & D_EXIT);
    if ((d->flags & D_GOTFOCUS) && !pressed_exit) dotted_rect(x + 2, y + 2, x + w - 2, y + h - 2, i, a);
}

bool mouse_inside(const DIALOG* d) {
    const int mx = gui_mouse_x(), my = gui_mouse_y();
    return mx >= d->x && my >= d->y && mx < d->x + d->w && my < d->y + d->h;
}

} // namespace

void dotted_rect(int x1, int y1, int x2, int y2, int fg, int bg) {
    const int p = (x1 + y1) & 1;
    auto dot = [&](int u, int v) { putpixel(screen, u, v, ((u + v) & 1) == p ? fg : bg); };
    for (int u = x1; u <= x2; ++u) {
        dot(u, y1);
        dot(u, y2);
    }
    for (int v = y1 + 1; v <= y2 - 1; ++v) {
        dot(x1, v);
        dot(x2, v);
    }
}

int my_radio_proc(int msg, DIALOG* d, int c) {
    switch (msg) {
    case MSG_DRAW:
        draw_radio(d);
        return D_O_K;
    case MSG_CLICK:
    case MSG_KEY:
        if (d->flags & D_SELECTED) return D_O_K; // already the mode: nothing changes
        break;
    case MSG_RADIO:
        if (c == d->d1 && (d->flags & D_SELECTED)) {
            d->flags &= ~D_SELECTED;
            redraw(d);
        }
        break;
    }
    const int ret = d_button_proc(msg, d, 0);
    if ((msg == MSG_KEY || msg == MSG_CLICK) && (d->flags & D_SELECTED) && !(d->flags & D_EXIT)) {
        // Unselect this row first so that the broadcast only clears the others.
        d->flags &= ~D_SELECTED;
        broadcast_dialog_message(MSG_RADIO, d->d1);
        d->flags |= D_SELECTED;
        if (d->dp3) static_cast<synth_engine*>(d->dp3)->set(param_id(0, K_MODE), d->d2);
    }
    return ret;
}

int my_button_proc(int msg, DIALOG* d, int) {
    switch (msg) {
    case MSG_DRAW:
        draw_button(d);
        return D_O_K;
    case MSG_CLICK: {
        // The action runs at once, when the button goes down.
        if (d->d2 >= 0 && d->d2 < 4 && button_actions[d->d2] && d->dp3)
            button_actions[d->d2](*static_cast<synth_engine*>(d->dp3));
        int s = d->flags & D_SELECTED;
        const bool invert = (d->flags & D_EXIT) ? false : s != 0;
        while (gui_mouse_b()) {
            bool inside = mouse_inside(d);
            if (invert) inside = !inside;
            if (inside != (s != 0)) {
                d->flags ^= D_SELECTED;
                s = d->flags & D_SELECTED;
                redraw(d);
            }
            broadcast_dialog_message(MSG_IDLE, 0);
        }
        if ((d->flags & D_SELECTED) && (d->flags & D_EXIT)) {
            d->flags &= ~D_SELECTED;
            return D_CLOSE;
        }
        return D_O_K;
    }
    case MSG_KEY:
        if (d->flags & D_EXIT) return D_CLOSE;
        d->flags ^= D_SELECTED; // only the look: a file is saved or loaded by a click alone
        redraw(d);
        return D_O_K;
    case MSG_WANTFOCUS:
        return D_WANTFOCUS;
    default:
        return D_O_K;
    }
}
