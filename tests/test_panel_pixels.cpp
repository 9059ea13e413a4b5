// The panel drawn without Allegro (panel/pixels.h) against Allegro itself:
// every slider of the layout at every position draws the same pixels, and
// the mouse held anywhere along it gives the same position.
#include <set>
#include <tuple>

#include "panel/panel_art.h"
#include "panel/panel_view.h"
#include "panel_fixture.h"

using PanelPixelsTest = PanelTest;

namespace {

// One slider of each shape and range the panel has.
std::vector<int> slider_shapes() {
    std::vector<int> rows;
    std::set<std::tuple<int, int, int>> seen;
    for (int r = 0; r < PANEL_WIDGETS; ++r) {
        const DIALOG& d = the_dialog[r];
        if (d.proc == d_slider_proc && seen.insert({d.w, d.h, d.d1}).second) rows.push_back(r);
    }
    return rows;
}

} // namespace

TEST_F(PanelPixelsTest, SlidersDrawAsAllegroDrawsThem) {
    const auto rows = slider_shapes();
    EXPECT_GE(rows.size(), 6u); // volume, offset, wave, vibrato, lengths, fade length, the horizontals
    pixels ours(PANEL_W, PANEL_H);
    for (int r : rows) {
        DIALOG& d = the_dialog[r];
        for (int pos = 0; pos <= d.d1; ++pos) {
            d.d2 = pos;
            clear_to_color(screen, 0x123456); // around the slider nothing is touched
            std::fill(ours.px.begin(), ours.px.end(), 0x123456u);
            draw(r);
            draw_slider(ours, panel_layout[size_t(r)], d.d1, pos, 0xFFFFFF, 0);
            for (int y = std::max(d.y - 1, 0); y <= d.y + d.h; ++y)
                for (int x = std::max(d.x - 1, 0); x <= d.x + d.w; ++x)
                    ASSERT_EQ(ours.at(x, y), uint32_t(pixel(x, y)))
                        << "row " << r << " at position " << pos << ", pixel " << x << "," << y;
        }
    }
}

TEST_F(PanelPixelsTest, TheMouseMovesSlidersAsAllegroMovesThem) {
    for (int r : slider_shapes()) {
        DIALOG& d = the_dialog[r];
        const panel_widget& w = panel_layout[size_t(r)];
        const bool vertical = d.h >= d.w;
        for (int at = -5; at <= (vertical ? d.h : d.w) + 5; ++at) {
            const int x = vertical ? d.x + 3 : d.x + at, y = vertical ? d.y + at : d.y + 3;
            d.d2 = at % 2 == 0 ? 0 : d.d1; // a move from either end
            scripted_mouse::press(x, y, x, y);
            object_message(&d, MSG_CLICK, 0);
            ASSERT_EQ(slider_position_at(w, d.d1, x, y), d.d2) << "row " << r << ", mouse at " << x << "," << y;
        }
    }
}

namespace {

// The whole panel as Allegro draws it now (every row but the clear row).
void draw_panel_with_allegro() {
    clear_to_color(screen, 0);
    for (int r = 1; r < PANEL_WIDGETS; ++r) object_message(&the_dialog[r], MSG_DRAW, 0);
}

int differing_pixels(const pixels& view) {
    int n = 0;
    for (int y = 0; y < PANEL_H; ++y)
        for (int x = 0; x < PANEL_W; ++x) n += view.at(x, y) != (uint32_t(getpixel(screen, x, y)) & 0xFFFFFF);
    return n;
}

} // namespace

// The plugin's view of the panel, from the art drawn at build time, against
// the program's panel: the same pixels at the start, with a mode chosen, a
// file button held and sliders moved.
TEST_F(PanelPixelsTest, TheViewShowsThePanelAsTheProgramDoes) {
    pixels up, down;
    ASSERT_TRUE(read_panel_art(panel_art, panel_art_size, up, down));
    EXPECT_FALSE(read_panel_art(panel_art, panel_art_size - 5, up, down)) << "a picture cut short";
    ASSERT_TRUE(read_panel_art(panel_art, panel_art_size, up, down));
    BITMAP* picture = load_bitmap(SYNTH_PICTURE, nullptr);
    ASSERT_NE(picture, nullptr);
    set_picture(picture);
    panel_view view(up, down);
    // The program opens the upper fade point's slider at 50, not at its value.
    view.show(param_id(0, K_FADE2), slider_value(K_FADE2, the_dialog[global_row(K_FADE2)].d2));
    draw_panel_with_allegro();
    const int start_differ = differing_pixels(view.image());
    EXPECT_EQ(start_differ, 0);

    // Mode 3, oscillator 4's pitch offset of instrument 2 moved with the
    // mouse, the fade length and split key set from outside, Load 1 held.
    view.show(param_id(0, K_MODE), 3);
    the_dialog[mode_row(0)].flags = 0;
    the_dialog[mode_row(3)].flags = D_SELECTED;
    const int frq = slider_row(2, K_FRQ, 4);
    DIALOG& d = the_dialog[frq];
    const auto press = view.mouse_down(d.x + 5, d.y + 40);
    EXPECT_EQ(press.what, panel_view::press::slider);
    EXPECT_EQ(press.param, param_id(2, K_FRQ, 4));
    d.d2 = slider_position_at(panel_layout[size_t(frq)], d.d1, d.x + 5, d.y + 40);
    EXPECT_EQ(press.value, slider_value(K_FRQ, d.d2));
    int param;
    double value;
    EXPECT_TRUE(view.mouse_drag(d.x + 5, d.y + 120, param, value));
    d.d2 = slider_position_at(panel_layout[size_t(frq)], d.d1, d.x + 5, d.y + 120);
    EXPECT_EQ(value, slider_value(K_FRQ, d.d2));
    EXPECT_FALSE(view.mouse_drag(d.x + 5, d.y + 120, param, value)) << "no move, no change";
    view.mouse_up();
    view.show(param_id(1, K_FADELEN), 2000 * 37);
    the_dialog[slider_row(1, K_FADELEN)].d2 = 37;
    view.show(param_id(0, K_SPLITKEY), 61.4);
    the_dialog[global_row(K_SPLITKEY)].d2 = 61;
    const DIALOG& load = the_dialog[load_row(1)];
    EXPECT_EQ(view.mouse_down(load.x + 3, load.y + 3).action, 1);
    the_dialog[load_row(1)].flags = D_SELECTED;
    draw_panel_with_allegro();
    EXPECT_EQ(differing_pixels(view.image()), 0);
    view.mouse_up();
    the_dialog[load_row(1)].flags = 0;
    draw_panel_with_allegro();
    EXPECT_EQ(differing_pixels(view.image()), 0);
    set_picture(nullptr);
    destroy_bitmap(picture);
}
