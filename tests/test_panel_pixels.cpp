// The panel drawn without Allegro (panel/pixels.h) against Allegro itself:
// every slider of the layout at every position draws the same pixels, and
// the mouse held anywhere along it gives the same position.
#include <set>
#include <tuple>

#include "panel/pixels.h"
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
