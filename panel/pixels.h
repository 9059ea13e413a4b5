// The panel drawn without a graphics library: a 32-bit pixel picture
// (0x00RRGGBB) with the few drawing calls the panel's sliders use, each
// drawing the pixels Allegro 4's call of the same name draws, and the
// sliders themselves, drawn and followed under the mouse exactly as
// Allegro's slider does it. The plugin's window draws the panel with these.
#pragma once

#include <cstdint>
#include <vector>

#include "panel/layout.h"

struct pixels {
    int w = 0, h = 0;
    std::vector<uint32_t> px; // row by row, from the top left

    pixels() = default;
    pixels(int width, int height, uint32_t colour = 0)
        : w(width), h(height), px(size_t(width) * size_t(height), colour) {}
    uint32_t at(int x, int y) const { return px[size_t(y) * size_t(w) + size_t(x)]; }

    // As Allegro's: corners included, in either order, clipped to the picture.
    void rectfill(int x1, int y1, int x2, int y2, uint32_t c);
    void vline(int x, int y1, int y2, uint32_t c) { rectfill(x, y1, x, y2, c); }
    void hline(int x1, int y, int x2, uint32_t c) { rectfill(x1, y, x2, y, c); }
    void putpixel(int x, int y, uint32_t c) { rectfill(x, y, x, y, c); }
    // The rectangle (x, y, w, h) of another picture of this size copied in.
    void copy_from(const pixels& other, int x, int y, int w, int h);
};

// A slider widget (panel/layout.h) at `position` of 0..max: its groove, the
// slot and the handle, over its whole rectangle.
void draw_slider(pixels& p, const panel_widget& s, int max, int position, uint32_t fg, uint32_t bg);

// The position a slider takes while the mouse button is held at (x, y),
// anywhere on the screen: Allegro's reckoning in 16.16 fixed point.
int slider_position_at(const panel_widget& s, int max, int x, int y);

// Whether (x, y) lies on a widget.
constexpr bool inside(const panel_widget& w, int x, int y) {
    return x >= w.x && y >= w.y && x < w.x + w.w && y < w.y + w.h;
}
