// Panel tests run the panel's procedures against a memory bitmap standing in
// for the screen (Allegro without a display), with the mouse played from a
// script.
#pragma once

#include <allegro.h>

#include <cstring>
#include <utility>
#include <vector>

#include "engine_fixture.h"
#include "panel/dialog.h"

// The mouse as the dialog procedures poll it: each poll of the buttons moves
// one step along the script; after its end the buttons are up.
struct scripted_mouse {
    struct step { int x, y, b; };
    static inline std::vector<step> steps;
    static inline std::size_t at = 0;
    static inline int x = 0, y = 0;

    static int poll_b() {
        if (at < steps.size()) {
            x = steps[at].x;
            y = steps[at].y;
            return steps[at++].b;
        }
        return 0;
    }
    static int poll_x() { return x; }
    static int poll_y() { return y; }

    // Button held over (px, py) for a few polls, then released over (rx, ry).
    static void press(int px, int py, int rx, int ry) {
        steps = {{px, py, 1}, {px, py, 1}, {rx, ry, 1}, {rx, ry, 0}};
        at = 0;
        x = px;
        y = py;
    }
};

class PanelTest : public EngineTest {
protected:
    static void SetUpTestSuite() {
        static bool started = false;
        if (!started) {
            install_allegro(SYSTEM_NONE, &errno, atexit);
            set_color_depth(32);
            screen = create_bitmap(1024, 768);
            started = true;
        }
        std::memcpy(pristine, the_dialog, sizeof pristine);
        gui_mouse_b = scripted_mouse::poll_b;
        gui_mouse_x = scripted_mouse::poll_x;
        gui_mouse_y = scripted_mouse::poll_y;
    }
    static void TearDownTestSuite() { std::memcpy(the_dialog, pristine, sizeof pristine); }

    void SetUp() override {
        EngineTest::SetUp();
        attach_engine(pristine, engine);
        std::memcpy(the_dialog, pristine, sizeof pristine);
        clear_to_color(screen, 0);
        active_dialog = the_dialog; // the rows a broadcast reaches
        scripted_mouse::steps.clear();
        for (int r = 0; r < 4; ++r) saved_actions[r] = button_actions[r];
    }
    void TearDown() override {
        for (int r = 0; r < 4; ++r) button_actions[r] = saved_actions[r];
        active_dialog = nullptr;
    }

    static int pixel(int x, int y) { return getpixel(screen, x, y) & 0xFFFFFF; }
    static void draw(int row) { object_message(&the_dialog[row], MSG_DRAW, 0); }

    static inline DIALOG pristine[DIALOG_ROWS];
    button_action saved_actions[4];
};
