// The synthesizer program: reads its options, prepares the engine (instrument
// files, shared settings), brings up graphics, sound and MIDI, runs the
// control panel until Escape (or the window's close button), and takes
// everything down again: the stream first, then MIDI input, then the sound
// library. With --no-gui it plays without a panel until SIGINT or SIGTERM and
// shuts down in the same order (on Windows: until Ctrl+C, Ctrl+Break or the
// console is closed).
//
// Exit status: 0 normally, 1 for a file or a chosen device that cannot be
// had, 2 for a bad command line; in the last two cases nothing was started
// (or it was taken down again).
#include <allegro.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "app/data_files.h"
#include "app/live_options.h"
#include "app/start_engine.h"
#include "engine/engine.h"
#include "files/instrument_file.h"
#include "panel/dialog.h"
#include "panel/file_buttons.h"
#include "platform/live.h"
#include "platform/msgbox.h"
#include "platform/panel_input.h"
#include "platform/stop_request.h"

namespace {

// Once the panel is up, the dialog loops read the input themselves where
// the library's reader is parked (platform/panel_input.h): every millisecond
// while the mouse or keyboard is in use, a few dozen times a second while
// nothing happens.
constexpr int BUSY_MS = 1, IDLE_MS = 15;
constexpr int STAY_BUSY_MS = 400; // after the last sign of the player

// What the panel's loop keeps between passes. Allegro's close-button
// callback, its mouse-button poll and the stop-request handler take no
// pointer of ours, so it lives here.
struct {
    // Set from Allegro's window thread when the window's close button is
    // pressed, or by a stop request.
    std::atomic<bool> close_pressed{false};
    int (*library_mouse_b)() = nullptr;
    int last_x = -1, last_y = -1;
    int quiet_ms = STAY_BUSY_MS;
} panel_loop;

void on_close_button() { panel_loop.close_pressed.store(true, std::memory_order_relaxed); }
// A stop request (SIGINT, SIGTERM; on Windows the console's) ends the panel
// the same way, in the order Escape does.
void on_stop() { panel_loop.close_pressed.store(true, std::memory_order_relaxed); }

// Every dialog of the program (the panel, the file selector, alerts) polls
// the mouse buttons once per pass of its loop. Resting here lets an idle
// panel leave the processor to the audio thread, and turns the window's
// close button into the Escape key every dialog already understands.
int idle_mouse_b() {
    auto& p = panel_loop;
    read_library_input();
    if (p.close_pressed.load(std::memory_order_relaxed) && !keypressed())
        simulate_keypress(KEY_ESC << 8 | 27);
    const int buttons = p.library_mouse_b();
    const bool active = buttons != 0 || mouse_x != p.last_x || mouse_y != p.last_y || keypressed();
    p.last_x = mouse_x;
    p.last_y = mouse_y;
    if (active) p.quiet_ms = 0;
    const int ms = p.quiet_ms < STAY_BUSY_MS ? BUSY_MS : IDLE_MS;
    rest(ms);
    p.quiet_ms += ms;
    return buttons;
}

// Once the panel holds the screen, a message box is an alert drawn on it.
void panel_message_box(const char* text, const char* caption) {
    alert(caption, text, nullptr, "OK", nullptr, 0, 0);
}

void setup_gui_colours() {
    // The file selector and alerts match the panel: white on black.
    gui_fg_color = makecol(255, 255, 255);
    gui_mg_color = makecol(128, 128, 128);
    gui_bg_color = makecol(0, 0, 0);
}

void shut_down_sound(live_session& live) {
    live.close_stream();
    live.close_midi();
    live.close();
}

// With --audio auto and no output to be had: one line on stderr naming each
// output tried and why it failed. True when that is so.
bool say_no_sound(const live_session& live, const live_options& o) {
    if (o.devices.audio != "auto" || live.host()[0] != '\0') return false;
    std::fprintf(stderr, "synth: no sound: %s\n", live.failures().c_str());
    return true;
}

// Without a panel: plays until a stop request (platform/stop_request.h).
int run_headless(synth_engine& engine, live_session& live, const live_options& o) {
    hold_stop_requests();
    std::string why;
    if (!live.open(engine, o.devices, &why)) {
        std::fprintf(stderr, "synth: %s\n", why.c_str());
        return 1;
    }
    say_no_sound(live, o);
    std::printf("synth: %s\n", live.connections().c_str());
    std::fflush(stdout);
    wait_for_stop_request();
    shut_down_sound(live);
    return 0;
}

// The panel: graphics, then sound and MIDI, then the dialog until Escape;
// then everything down again.
int run_panel(synth_engine& engine, live_session& live, const live_options& o, const instrument_files& files) {
    std::string message;
    if (install_allegro(SYSTEM_AUTODETECT, &errno, atexit) != 0) {
        std::fprintf(stderr, "synth: no display to show the panel on%s%s (--no-gui plays without one)\n",
                     allegro_error[0] ? ": " : "", allegro_error);
        return 1; // a launcher must not take this for the panel having run
    }
    install_keyboard();
    install_timer(); // rest() needs it to sleep at all

    if (desktop_color_depth() < 16) {
        message_box("Needs 16, 24, or 32 bit color", "Error");
        return 0;
    }
    set_color_depth(desktop_color_depth());
    // Many desktops refuse a full-screen mode: a window of the same size will do.
    if (set_gfx_mode(GFX_AUTODETECT_FULLSCREEN, 1024, 768, 0, 0) < 0 &&
        set_gfx_mode(GFX_AUTODETECT_WINDOWED, 1024, 768, 0, 0) < 0) {
        message_box("Cannot set 1024x768 gfx mode", "Error");
        return 0;
    }
    set_close_button_callback(on_close_button);
    setup_gui_colours();
    // From here on every dialog, the boxes below as well as the panel, takes
    // the mouse and rests between passes.
    install_mouse();
    panel_loop.library_mouse_b = gui_mouse_b;
    gui_mouse_b = idle_mouse_b;

    // From here on the engine renders and notes reach the voices.
    if (!live.open(engine, o.devices, &message)) {
        set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
        std::fprintf(stderr, "synth: %s\n", message.c_str());
        return 1;
    }

    // No sound output could be had at all: the musician is told, once (in a
    // box drawn on the panel's screen), and the panel runs silent. The sound
    // output's error code goes to standard output.
    if (say_no_sound(live, o)) {
        message_box("Error", "SetOutput", panel_message_box);
        std::printf("%d\n", int(live.sound_error()));
        std::fflush(stdout);
    }

    // The panel shows what the command line chose.
    attach_engine(the_dialog, engine);
    for (int n = 0; n < 2; ++n)
        if (files.loaded[n]) refresh_sliders(the_dialog, n + 1, *files.loaded[n]);
    for (int kind = 0; kind < KINDS; ++kind)
        if (o.given[kind]) refresh_setting(the_dialog, engine, kind);

    BITMAP* picture = load_bitmap(data_file("synth.bmp").c_str(), nullptr);
    set_picture(picture);

    on_stop_request(on_stop);
    park_library_input();
    do_dialog(the_dialog, -1);
    unpark_library_input();

    if (picture) destroy_bitmap(picture);
    set_picture(nullptr);
    shut_down_sound(live);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    live_options o;
    std::string message;
    switch (parse_live_options(argc, argv, &o, &message)) {
    case parse_result::done: return 0;
    case parse_result::bad_usage:
        std::fprintf(stderr, "synth: %s\n%s", message.c_str(), live_usage().c_str());
        return 2;
    case parse_result::run: break;
    }
    if (o.list_devices) {
        std::fputs(live_session::devices().c_str(), stdout);
        return 0;
    }

    synth_engine engine;
    instrument_files files{{o.i1, o.i2}, {}};
    if (!start_engine(engine, files, o.setting, o.given, &message)) {
        std::fprintf(stderr, "synth: %s\n", message.c_str());
        return 1;
    }
    live_session live;
    return o.no_gui ? run_headless(engine, live, o) : run_panel(engine, live, o, files);
}
END_OF_MAIN()
