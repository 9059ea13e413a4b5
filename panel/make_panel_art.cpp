// make_panel_art PICTURE.bmp OUTPUT.cpp: draws the panel's still parts with
// Allegro, as the program shows them, for the plugin's window to draw from:
// every widget but the sliders (which the window draws itself, at their
// positions), once with every mode and file button up and once with every
// one down. Written as C++ source: the two pictures as runs of one colour
// (panel/panel_art.h reads them back).
#include <allegro.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "panel/dialog.h"

namespace {

// Each run: its length in two bytes (low first), then red, green, blue.
void add_runs(BITMAP* b, std::vector<uint8_t>& out) {
    uint32_t colour = 0;
    int length = 0;
    auto flush = [&] {
        if (length == 0) return;
        out.insert(out.end(), {uint8_t(length), uint8_t(length >> 8), uint8_t(colour >> 16),
                               uint8_t(colour >> 8), uint8_t(colour)});
    };
    for (int y = 0; y < PANEL_H; ++y)
        for (int x = 0; x < PANEL_W; ++x) {
            const uint32_t c = uint32_t(getpixel(b, x, y)) & 0xFFFFFF;
            if (length > 0 && (c != colour || length == 0xFFFF)) {
                flush();
                length = 0;
            }
            colour = c;
            ++length;
        }
    flush();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_panel_art PICTURE.bmp OUTPUT.cpp\n");
        return 2;
    }
    install_allegro(SYSTEM_NONE, &errno, atexit);
    set_color_depth(32);
    BITMAP* canvas = create_bitmap(PANEL_W, PANEL_H);
    BITMAP* picture = load_bitmap(argv[1], nullptr);
    if (!canvas || !picture) {
        std::fprintf(stderr, "make_panel_art: cannot read %s\n", argv[1]);
        return 1;
    }
    screen = canvas; // the panel's procedures draw on the screen
    set_picture(picture);
    std::vector<uint8_t> runs;
    for (int down = 0; down < 2; ++down) {
        clear_to_color(canvas, 0);
        for (int r = 0; r < PANEL_WIDGETS; ++r) {
            DIALOG d = the_dialog[r];
            const widget_kind kind = panel_layout[size_t(r)].kind;
            // The clear row would clip to a screen of no size here: the
            // canvas is already cleared to its colour.
            if (kind == widget_kind::slider || kind == widget_kind::clear) continue;
            d.flags = down && (kind == widget_kind::radio || kind == widget_kind::button) ? D_SELECTED : 0;
            d.proc(MSG_DRAW, &d, 0);
        }
        add_runs(canvas, runs);
    }
    FILE* f = std::fopen(argv[2], "w");
    if (!f) {
        std::perror(argv[2]);
        return 1;
    }
    std::fprintf(f, "// Written by make_panel_art: the panel's still parts.\n"
                    "#include \"panel/panel_art.h\"\n\nconst unsigned char panel_art[] = {");
    for (size_t i = 0; i < runs.size(); ++i) std::fprintf(f, "%s%u,", i % 24 ? "" : "\n", runs[i]);
    std::fprintf(f, "\n};\nconst unsigned long panel_art_size = %zu;\n", runs.size());
    return std::fclose(f) == 0 ? 0 : 1;
}
END_OF_MAIN()
