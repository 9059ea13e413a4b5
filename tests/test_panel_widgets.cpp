#include "panel_fixture.h"

namespace {

constexpr int INSTR1 = 1, SPLIT = 3;
int WHITE() { return makecol(255, 255, 255) & 0xFFFFFF; }

// The dot of a mode button sits at the centre of its 10 x 10 indicator.
bool dot_drawn(int row) { return (getpixel(screen, 5, the_dialog[row].y + 5) & 0xFFFFFF) != 0; }

int click(int row, int release_x, int release_y) {
    DIALOG& d = the_dialog[row];
    scripted_mouse::press(d.x + 3, d.y + 3, release_x, release_y);
    return object_message(&d, MSG_CLICK, 0);
}
int click(int row) { return click(row, the_dialog[row].x + 3, the_dialog[row].y + 3); }

std::vector<int> calls;
template <int N> void record(synth_engine&) { calls.push_back(N); }

} // namespace

using WidgetTest = PanelTest;

TEST_F(WidgetTest, DottedRectIsACheckerboardOutline) {
    const int fg = makecol(255, 0, 0), bg = makecol(0, 0, 255), untouched = makecol(9, 9, 9);
    clear_to_color(screen, untouched);
    dotted_rect(0, 0, 3, 2, fg, bg);
    const int expect[3][4] = {{fg, bg, fg, bg}, {bg, untouched, untouched, fg}, {fg, bg, fg, bg}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(getpixel(screen, x, y), expect[y][x]) << x << "," << y;
    EXPECT_EQ(getpixel(screen, 4, 0), untouched);
    EXPECT_EQ(getpixel(screen, 0, 3), untouched);

    // An odd corner: its own parity decides, so the corner is always fg.
    dotted_rect(1, 4, 4, 6, fg, bg);
    EXPECT_EQ(getpixel(screen, 1, 4), fg);
    EXPECT_EQ(getpixel(screen, 2, 4), bg);
    EXPECT_EQ(getpixel(screen, 4, 5), fg);
}

TEST_F(WidgetTest, ModeButtonsDrawTheirCaptionAndSelection) {
    for (int r = 1; r <= 6; ++r) draw(r);
    EXPECT_TRUE(dot_drawn(INSTR1));
    EXPECT_FALSE(dot_drawn(SPLIT));
    EXPECT_EQ(pixel(0, 25), WHITE()) << "the circle of \"split\"";
    // The caption starts 17 pixels right of the row: some white there, none left of it.
    int ink = 0;
    for (int y = 20; y < 30; ++y)
        for (int x = 17; x < 100; ++x) ink += pixel(x, y) == WHITE();
    EXPECT_GT(ink, 10);
    for (int y = 20; y < 30; ++y) EXPECT_EQ(pixel(16, y), 0);
}

TEST_F(WidgetTest, ClickingAModeButtonSelectsItAlone) {
    for (int r = 1; r <= 6; ++r) draw(r);
    EXPECT_EQ(click(SPLIT), D_O_K);
    EXPECT_EQ(multimode, 2);
    EXPECT_TRUE(the_dialog[SPLIT].flags & D_SELECTED);
    EXPECT_FALSE(the_dialog[INSTR1].flags & D_SELECTED);
    EXPECT_TRUE(dot_drawn(SPLIT));
    EXPECT_FALSE(dot_drawn(INSTR1)) << "the old choice is redrawn without its dot";
    for (int r = 1; r <= 6; ++r) EXPECT_EQ(bool(the_dialog[r].flags & D_SELECTED), r == SPLIT);

    click(6);
    EXPECT_EQ(multimode, 5);
    EXPECT_FALSE(the_dialog[SPLIT].flags & D_SELECTED);
}

TEST_F(WidgetTest, ClickingTheSelectedModeButtonChangesNothing) {
    draw(INSTR1);
    multimode = 4; // a value the button would overwrite if it stored again
    putpixel(screen, 2, 2, makecol(7, 7, 7));
    EXPECT_EQ(click(INSTR1), D_O_K);
    EXPECT_EQ(multimode, 4);
    EXPECT_TRUE(the_dialog[INSTR1].flags & D_SELECTED);
    EXPECT_EQ(pixel(2, 2), makecol(7, 7, 7) & 0xFFFFFF) << "nothing redrawn";
}

TEST_F(WidgetTest, ReleasingOutsideAModeButtonKeepsThePreviousMode) {
    click(SPLIT, 300, 300);
    EXPECT_EQ(multimode, 0);
    EXPECT_FALSE(the_dialog[SPLIT].flags & D_SELECTED);
    EXPECT_TRUE(the_dialog[INSTR1].flags & D_SELECTED);
}

TEST_F(WidgetTest, AModeButtonChosenWithTheKeyboard) {
    EXPECT_EQ(object_message(&the_dialog[4], MSG_WANTFOCUS, 0) & D_WANTFOCUS, D_WANTFOCUS);
    object_message(&the_dialog[4], MSG_KEY, 0);
    EXPECT_EQ(multimode, 3);
    EXPECT_TRUE(the_dialog[4].flags & D_SELECTED);
    EXPECT_FALSE(the_dialog[INSTR1].flags & D_SELECTED);
}

TEST_F(WidgetTest, FileButtonsRunTheirActionWhenPressed) {
    calls.clear();
    button_actions[0] = record<0>;
    button_actions[1] = record<1>;
    button_actions[2] = record<2>;
    button_actions[3] = record<3>;
    // Dragging off before the release does not cancel the action.
    EXPECT_EQ(click(load_row(2), 500, 10), D_O_K);
    EXPECT_EQ(calls, std::vector<int>{3});
    EXPECT_FALSE(the_dialog[load_row(2)].flags & D_SELECTED);
    click(save_row(1));
    click(load_row(1));
    click(save_row(2));
    EXPECT_EQ(calls, (std::vector<int>{3, 0, 1, 2}));

    // Released over it, a button keeps the pressed look until the next click.
    EXPECT_TRUE(the_dialog[save_row(1)].flags & D_SELECTED);
    click(save_row(1));
    EXPECT_FALSE(the_dialog[save_row(1)].flags & D_SELECTED);

    // Enter or space only toggles the look.
    calls.clear();
    EXPECT_EQ(object_message(&the_dialog[save_row(1)], MSG_KEY, 0), D_O_K);
    EXPECT_TRUE(the_dialog[save_row(1)].flags & D_SELECTED);
    EXPECT_TRUE(calls.empty());
}

TEST_F(WidgetTest, FileButtonLook) {
    const DIALOG& b = the_dialog[save_row(1)]; // 0,320 100x20
    draw(save_row(1));
    EXPECT_EQ(pixel(3, 323), WHITE()) << "white face";
    EXPECT_EQ(pixel(1, 321), 0) << "black outline";
    EXPECT_EQ(pixel(b.w - 1, 330), 0) << "black shadow on the right";
    EXPECT_EQ(pixel(b.w - 2, b.y + b.h - 2), WHITE()) << "face reaches x+w-2";
    int ink = 0; // the black caption inside the face
    for (int y = 323; y < 337; ++y)
        for (int x = 30; x < 70; ++x) ink += pixel(x, y) == 0;
    EXPECT_GT(ink, 10);

    the_dialog[save_row(1)].flags |= D_SELECTED | D_GOTFOCUS;
    draw(save_row(1));
    EXPECT_EQ(pixel(0, 330), 0);
    // The focus outline: corner in the ink colour, its neighbour in the face colour.
    EXPECT_EQ(pixel(2, 322), 0);
    EXPECT_EQ(pixel(3, 322), WHITE());
}
