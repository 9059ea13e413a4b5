#include "panel/panel_art.h"
#include "panel/pixels.h"

#include <algorithm>
#include <cstddef>
#include <utility>

void pixels::rectfill(int x1, int y1, int x2, int y2, uint32_t c) {
    if (x2 < x1) std::swap(x1, x2);
    if (y2 < y1) std::swap(y1, y2);
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    x2 = std::min(x2, w - 1);
    y2 = std::min(y2, h - 1);
    for (int y = y1; y <= y2; ++y)
        std::fill(px.begin() + (y * w + x1), px.begin() + (y * w + x2 + 1), c);
}

void pixels::copy_from(const pixels& other, int x, int y, int cw, int ch) {
    for (int r = y; r < y + ch; ++r)
        std::copy_n(other.px.begin() + (r * w + x), cw, px.begin() + (r * w + x));
}

namespace {

// Allegro's slider measures: its handle is 7 pixels long, and a position is
// 16.16 fixed point, its ratio to the pixels truncated.
constexpr int HANDLE = 7;

bool vertical(const panel_widget& s) { return s.h >= s.w; }
int travel(const panel_widget& s) { return (vertical(s) ? s.h : s.w) - HANDLE; }
int32_t ratio(const panel_widget& s, int max) { return (int32_t(travel(s)) << 16) / max; }

// Allegro's fixtoi: the nearest whole number, halves up.
int fixed_to_int(int32_t f) { return (f >> 16) + ((f & 0x8000) >> 15); }

} // namespace

void draw_slider(pixels& p, const panel_widget& s, int max, int position, uint32_t fg, uint32_t bg) {
    const int slp = fixed_to_int(ratio(s, max) * position);
    int slx, sly, slw, slh;
    if (vertical(s)) {
        p.rectfill(s.x, s.y, s.x + s.w / 2 - 2, s.y + s.h - 1, bg);
        p.rectfill(s.x + s.w / 2 - 1, s.y, s.x + s.w / 2 + 1, s.y + s.h - 1, fg);
        p.rectfill(s.x + s.w / 2 + 2, s.y, s.x + s.w - 1, s.y + s.h - 1, bg);
        slx = s.x;
        sly = s.y + s.h - (HANDLE + slp);
        slw = s.w - 1;
        slh = HANDLE - 1;
    } else {
        p.rectfill(s.x, s.y, s.x + s.w - 1, s.y + s.h / 2 - 2, bg);
        p.rectfill(s.x, s.y + s.h / 2 - 1, s.x + s.w - 1, s.y + s.h / 2 + 1, fg);
        p.rectfill(s.x, s.y + s.h / 2 + 2, s.x + s.w - 1, s.y + s.h - 1, bg);
        slx = s.x + slp;
        sly = s.y;
        slw = HANDLE - 1;
        slh = s.h - 1;
    }
    p.rectfill(slx + 2, sly, slx + (slw - 2), sly + slh, fg);
    p.vline(slx + 1, sly + 1, sly + slh - 1, fg);
    p.vline(slx + slw - 1, sly + 1, sly + slh - 1, fg);
    p.vline(slx, sly + 2, sly + slh - 2, fg);
    p.vline(slx + slw, sly + 2, sly + slh - 2, fg);
    p.vline(slx + 1, sly + 2, sly + slh - 2, bg);
    p.hline(slx + 2, sly + 1, slx + slw - 2, bg);
    p.putpixel(slx + 2, sly + 2, bg);
}

int slider_position_at(const panel_widget& s, int max, int x, int y) {
    const int margin = HANDLE / 2;
    int mp = vertical(s) ? (s.y + s.h - margin) - y : x - (s.x + margin);
    mp = std::clamp(mp, 0, travel(s));
    // fixdiv(itofix(mp), ratio), through doubles as Allegro does it.
    const double q = double(mp) / (double(ratio(s, max)) / 65536.0);
    return fixed_to_int(int32_t(q * 65536.0 + 0.5));
}

bool read_panel_art(const unsigned char* runs, unsigned long size, pixels& up, pixels& down) {
    pixels* const pictures[2] = {&up, &down};
    unsigned long at = 0;
    for (pixels* p : pictures) {
        *p = pixels(PANEL_W, PANEL_H);
        size_t filled = 0;
        while (filled < p->px.size()) {
            if (size - at < 5) return false;
            const size_t length = size_t(runs[at]) | size_t(runs[at + 1]) << 8;
            const uint32_t colour = uint32_t(runs[at + 2]) << 16 | uint32_t(runs[at + 3]) << 8 | runs[at + 4];
            at += 5;
            if (length == 0 || length > p->px.size() - filled) return false;
            std::fill_n(p->px.begin() + std::ptrdiff_t(filled), length, colour);
            filled += length;
        }
    }
    return at == size;
}
