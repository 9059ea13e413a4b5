#include <string>

#include "panel_fixture.h"

namespace {

const char* caption(int row) { return static_cast<const char*>(the_dialog[row].dp); }
slider_callback callback(int row) { return reinterpret_cast<slider_callback>(the_dialog[row].dp2); }
bool is_slider(int row) { return the_dialog[row].proc == d_slider_proc; }

} // namespace

using PanelTableTest = PanelTest;

TEST_F(PanelTableTest, EveryRowLiesOnTheScreenInWhiteOnBlack) {
    EXPECT_EQ(white & 0xFFFFFF, 0xFFFFFF);
    ASSERT_EQ(sizeof the_dialog / sizeof *the_dialog, 139u);
    int right = 0, bottom = 0;
    for (int r = 0; r < 138; ++r) {
        const DIALOG& d = the_dialog[r];
        SCOPED_TRACE("row " + std::to_string(r));
        ASSERT_NE(d.proc, nullptr);
        EXPECT_GE(d.x, 0);
        EXPECT_GE(d.y, 0);
        EXPECT_LE(d.x + d.w, 1024);
        EXPECT_LE(d.y + d.h, 768);
        right = std::max(right, d.x + d.w - 1);
        bottom = std::max(bottom, d.y + d.h - 1);
        EXPECT_EQ(d.fg, r == PICTURE_ROW ? 0 : white);
        EXPECT_EQ(d.bg, 0);
        EXPECT_EQ(d.key, 0);
        EXPECT_EQ(d.flags, r == 1 ? D_SELECTED : 0) << "only \"instr 1\" starts selected";
        const bool acts = d.proc == d_slider_proc || d.proc == my_radio_proc || d.proc == my_button_proc;
        EXPECT_EQ(d.dp3, acts ? &engine : nullptr) << "the rows that act reach the panel's engine";
    }
    EXPECT_EQ(right, 1023);  // the picture ends at the right edge
    EXPECT_EQ(bottom, 739);  // instrument 2's buttons are the lowest rows
    const DIALOG end = the_dialog[138];
    EXPECT_EQ(end.proc, nullptr);
    EXPECT_EQ(end.x | end.y | end.w | end.h | end.fg | end.flags | end.d1 | end.d2, 0);
}

TEST_F(PanelTableTest, TopStripWiring) {
    const char* modes[] = {"instr 1", "instr 2", "split", "inv. split", "fade", "inv. fade"};
    for (int m = 0; m < 6; ++m) {
        EXPECT_EQ(the_dialog[1 + m].proc, my_radio_proc);
        EXPECT_EQ(std::string(caption(1 + m)), modes[m]);
        EXPECT_EQ(the_dialog[1 + m].d1, 0) << "one group";
        EXPECT_EQ(the_dialog[1 + m].d2, m) << "the value stored into multimode";
    }
    struct { int row; slider_callback cb; const char* text; } globals[] = {
        {7, param_callback(0, K_SPLITKEY), "split key"},
        {9, param_callback(0, K_FADE1), "lower fade point"},
        {11, param_callback(0, K_FADE2), "upper fade point"},
        {136, param_callback(0, K_TRANSPOSE), "transpose"},
    };
    for (auto& g : globals) {
        EXPECT_TRUE(is_slider(g.row));
        EXPECT_EQ(callback(g.row), g.cb);
        EXPECT_GT(the_dialog[g.row].w, the_dialog[g.row].h) << "horizontal";
        EXPECT_EQ(std::string(caption(g.row + 1)), g.text);
        EXPECT_EQ(the_dialog[g.row + 1].y, the_dialog[g.row].y) << "caption beside its slider";
    }
    EXPECT_EQ(the_dialog[136].d1, 50);
    EXPECT_EQ(the_dialog[136].d2, 25) << "transpose 0";
}

// Each slider, moved through its row, must change its own parameter of its
// own instrument and nothing else.
TEST_F(PanelTableTest, EverySliderDrivesItsOwnInstrumentAndParameter) {
    for (int n = 1; n <= 2; ++n) {
        instrument_under_test& mine = n == 1 ? i1 : i2;
        instrument_under_test& other = n == 1 ? i2 : i1;
        for (int k = 0; k < 10; ++k) {
            SCOPED_TRACE("instrument " + std::to_string(n) + " oscillator " + std::to_string(k));
            const int vol = slider_row(n, K_VOL, k), frq = slider_row(n, K_FRQ, k),
                      wav = slider_row(n, K_WAV, k), vib = slider_row(n, K_VIB, k);
            for (int r : {vol, frq, wav, vib}) ASSERT_TRUE(is_slider(r));
            callback(vol)(&engine, 37);
            callback(frq)(&engine, 61);
            callback(wav)(&engine, 3);
            callback(vib)(&engine, 25);
            EXPECT_DOUBLE_EQ(mine.at(K_VOL, k), 0.37);
            EXPECT_EQ(mine.at(K_FRQ, k), 11);
            EXPECT_DOUBLE_EQ(mine.oscstep[k], 6.282 * spechertz(11) / 44100.0);
            EXPECT_EQ(mine.at(K_WAV, k), 3);
            EXPECT_DOUBLE_EQ(mine.at(K_VIB, k), 0.5);
            EXPECT_EQ(other.at(K_FRQ, k), 0);
            EXPECT_EQ(other.at(K_WAV, k), 0);
            EXPECT_EQ(other.at(K_VIB, k), 0.0);
            // The oscillator's sliders are its column: volume at 40k, frequency 20 to the right.
            EXPECT_EQ(the_dialog[vol].x, 40 * k);
            EXPECT_EQ(the_dialog[frq].x, 40 * k + 20);
            EXPECT_EQ(the_dialog[wav].x, 500 + 10 * k);
            EXPECT_EQ(the_dialog[vib].x, 700 + 10 * k);
        }
        callback(slider_row(n, K_ATTACKLEN))(&engine, 1);
        callback(slider_row(n, K_ATTACK))(&engine, 100);
        callback(slider_row(n, K_DECAYLEN))(&engine, 2);
        callback(slider_row(n, K_DECAY))(&engine, 25);
        callback(slider_row(n, K_RELEASELEN))(&engine, 3);
        callback(slider_row(n, K_FADELEN))(&engine, 200);
        EXPECT_EQ(mine.at(K_ATTACKLEN), 201);
        EXPECT_DOUBLE_EQ(mine.at(K_ATTACK), 2.0);
        EXPECT_EQ(mine.at(K_DECAYLEN), 401);
        EXPECT_DOUBLE_EQ(mine.at(K_DECAY), 0.5);
        EXPECT_EQ(mine.at(K_RELEASELEN), 601);
        EXPECT_EQ(mine.at(K_FADELEN), 400000);
        EXPECT_EQ(the_dialog[slider_row(n, K_FADELEN)].d1, 200);
        engine.reset();
    }
    // Spot checks against the row numbers the loader and the tests rely on.
    EXPECT_EQ(slider_row(1, K_VOL, 0), 24);
    EXPECT_EQ(slider_row(1, K_FRQ, 9), 43);
    EXPECT_EQ(slider_row(1, K_WAV, 0), 45);
    EXPECT_EQ(slider_row(1, K_VIB, 9), 65);
    EXPECT_EQ(slider_row(1, K_ATTACKLEN), 67);
    EXPECT_EQ(slider_row(2, K_FADELEN), 133);
    EXPECT_EQ(save_row(1), 73);
    EXPECT_EQ(load_row(2), 135);
}

TEST_F(PanelTableTest, InstrumentTwoIsInstrumentOneMovedDown) {
    for (int r = INSTRUMENT_FIRST_ROW; r < INSTRUMENT_FIRST_ROW + INSTRUMENT_ROWS; ++r) {
        SCOPED_TRACE("row " + std::to_string(r));
        const DIALOG& a = the_dialog[r];
        const DIALOG& b = the_dialog[r + INSTRUMENT_ROWS];
        EXPECT_EQ(a.proc, b.proc);
        EXPECT_EQ(a.x, b.x);
        EXPECT_EQ(a.y + 400, b.y);
        EXPECT_EQ(a.w, b.w);
        EXPECT_EQ(a.h, b.h);
        EXPECT_EQ(a.d1, b.d1);
        EXPECT_EQ(a.dp, b.dp) << "same caption";
        if (a.proc == my_button_proc) {
            EXPECT_EQ(a.d2 + 2, b.d2) << "action codes 2 and 3";
        } else {
            EXPECT_EQ(a.d2, b.d2) << "same initial position";
        }
        if (a.proc == d_slider_proc) {
            EXPECT_NE(a.dp2, b.dp2) << "instrument 2's own callback";
            EXPECT_GT(a.h, a.w) << "vertical";
        }
    }
    EXPECT_EQ(std::string(caption(save_row(1))), "Save");
    EXPECT_EQ(std::string(caption(load_row(1))), "Load");
    EXPECT_EQ(the_dialog[save_row(1)].d2, 0);
    EXPECT_EQ(the_dialog[load_row(1)].d2, 1);
    EXPECT_EQ(std::string(caption(14)), "0");
    EXPECT_EQ(std::string(caption(23)), "9");
    EXPECT_EQ(std::string(caption(44)), "wave type");
    EXPECT_EQ(std::string(caption(55)), "vibrato");
    EXPECT_EQ(std::string(caption(66)), "attack/decay/release");
}

TEST_F(PanelTableTest, InitialPositions) {
    for (int n = 1; n <= 2; ++n)
        for (int k = 0; k < 10; ++k) {
            EXPECT_EQ(the_dialog[slider_row(n, K_VOL, k)].d2, k == 0 ? 100 : 0);
            EXPECT_EQ(the_dialog[slider_row(n, K_FRQ, k)].d2, 50);
        }
    // The panel does not push its positions into the engine at start.
    EXPECT_EQ(fade2, 90);
    EXPECT_EQ(i1.at(K_ATTACKLEN), 100);
}

TEST_F(PanelTableTest, AMissingPictureDrawsNothing) {
    set_picture(nullptr);
    rectfill(screen, 824, 0, 1023, 59, makecol(1, 2, 3));
    draw(PICTURE_ROW);
    EXPECT_EQ(pixel(900, 30), makecol(1, 2, 3) & 0xFFFFFF);

    BITMAP* pic = create_bitmap(200, 60);
    clear_to_color(pic, makecol(200, 100, 50));
    set_picture(pic);
    EXPECT_EQ(the_dialog[PICTURE_ROW].proc, d_bitmap_proc);
    draw(PICTURE_ROW);
    EXPECT_EQ(pixel(824, 0), makecol(200, 100, 50) & 0xFFFFFF);
    EXPECT_EQ(pixel(1023, 59), makecol(200, 100, 50) & 0xFFFFFF);
    set_picture(nullptr);
    destroy_bitmap(pic);
}
