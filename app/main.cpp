// The synthesizer program: reads its options, prepares the engine (instrument
// files, shared settings), brings up graphics, sound and MIDI, runs the
// control panel until Escape (or the window's close button), and takes
// everything down again: the stream first, then MIDI input, then the sound
// library. With --no-gui it plays without a panel until SIGINT or SIGTERM and
// shuts down in the same order (on Windows: until Ctrl+C, Ctrl+Break or the
// console is closed).
//
// Exit status: 0 normally; 1 for an instrument file or a chosen output that
// cannot be had, for no display, and where the panel cannot be shown at all
// (fewer than 16 bits of colour, no 1024 x 768 mode: after the box saying
// so); 2 for a bad command line. Where it ends with 1 or 2, everything it
// started has been taken down again.
#include <allegro.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "app/live_options.h"
#include "app/panel_input.h"
#include "app/stop_request.h"
#include "app/data_files.h"
#include "app/start_engine.h"
#include "engine/engine.h"
#include "files/instrument_file.h"
#include "panel/dialog.h"
#include "panel/file_buttons.h"
#include "platform/live.h"
#include "platform/msgbox.h"
#include "platform/sound_output.h"

namespace {

// Set from Allegro's window thread when the window's close button is pressed.
std::atomic<bool> close_pressed{false};
void on_close_button() { close_pressed.store(true, std::memory_order_relaxed); }
// A stop request (SIGINT, SIGTERM; on Windows the console's) ends the panel
// the same way, in the order Escape does.
void on_stop() { close_pressed.store(true, std::memory_order_relaxed); }

int (*library_mouse_b)() = nullptr;

// Once the panel is up, the dialog loops read the input themselves where
// the library's reader is parked (app/panel_input.h): every millisecond
// while the mouse or keyboard is in use, a few dozen times a second while
// nothing happens.
constexpr int BUSY_MS = 1, IDLE_MS = 15;
constexpr int STAY_BUSY_MS = 400; // after the last sign of the player

int last_x = -1, last_y = -1;
int quiet_ms = STAY_BUSY_MS;

// Every dialog of the program (the panel, the file selector, alerts) polls
// the mouse buttons once per pass of its loop. Resting here lets an idle
// panel leave the processor to the audio thread, and turns the window's
// close button into the Escape key every dialog already understands.
int idle_mouse_b() {
    read_library_input();
    if (close_pressed.load(std::memory_order_relaxed) && !keypressed())
        simulate_keypress(KEY_ESC << 8 | 27);
    const int buttons = library_mouse_b();
    const bool active = buttons != 0 || mouse_x != last_x || mouse_y != last_y || keypressed();
    last_x = mouse_x;
    last_y = mouse_y;
    if (active) quiet_ms = 0;
    const int ms = quiet_ms < STAY_BUSY_MS ? BUSY_MS : IDLE_MS;
    rest(ms);
    quiet_ms += ms;
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

void shut_down_sound() {
    live_close_stream();
    live_close_midi();
    live_close();
}

// Without a panel: plays until a stop request (app/stop_request.h).
int run_headless(synth_engine& engine, const live_options& o) {
    hold_stop_requests();
    std::string why;
    if (!live_open(engine, o.devices, &why)) {
        std::fprintf(stderr, "synth: %s\n", why.c_str());
        return 1;
    }
    std::printf("synth: %s\n", live_connections().c_str());
    std::fflush(stdout);
    wait_for_stop_request();
    shut_down_sound();
    return 0;
}

// The panel: graphics, then sound and MIDI, then the dialog until Escape;
// then everything down again.
int run_panel(synth_engine& engine, const live_options& o, const instrument_files& files) {
    std::string message;
    if (install_allegro(SYSTEM_AUTODETECT, &errno, atexit) != 0) {
        std::fprintf(stderr, "synth: no display to show the panel on%s%s (--no-gui plays without one)\n",
                     allegro_error[0] ? ": " : "", allegro_error);
        return 1; // a launcher must not take this for the panel having run
    }
    install_keyboard();
    install_timer(); // rest() needs it to sleep at all

    if (desktop_color_depth() < 16) {
        MessageBoxA(nullptr, "Needs 16, 24, or 32 bit color", "Error", 0);
        return 1; // no panel can be shown: not a run
    }
    set_color_depth(desktop_color_depth());
    // Many desktops refuse a full-screen mode: a window of the same size will do.
    if (set_gfx_mode(GFX_AUTODETECT_FULLSCREEN, 1024, 768, 0, 0) < 0 &&
        set_gfx_mode(GFX_AUTODETECT_WINDOWED, 1024, 768, 0, 0) < 0) {
        MessageBoxA(nullptr, "Cannot set 1024x768 gfx mode", "Error", 0);
        return 1;
    }
    set_close_button_callback(on_close_button);
    setup_gui_colours();
    // From here on every dialog, the boxes below as well as the panel, takes
    // the mouse and rests between passes.
    install_mouse();
    library_mouse_b = gui_mouse_b;
    gui_mouse_b = idle_mouse_b;
    message_box_hook(panel_message_box);

    // From here on the engine renders and notes reach the voices.
    if (!live_open(engine, o.devices, &message)) {
        set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
        std::fprintf(stderr, "synth: %s\n", message.c_str());
        return 1;
    }

    // No sound output could be had at all: the musician is told, once, and
    // the panel runs silent. The sound output's error code goes to
    // standard output.
    if (o.devices.audio == audio_choice::automatic && live_host()[0] == '\0') {
        MessageBoxA(nullptr, "Error", "SetOutput", 0);
        std::printf("%d\n", int(sound_error()));
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
    shut_down_sound();
    message_box_hook(nullptr);
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
        std::fputs(live_devices().c_str(), stdout);
        return 0;
    }

    synth_engine engine;
    instrument_files files{{o.i1, o.i2}, {}};
    if (!start_engine(engine, files, o.setting, o.given, &message)) {
        std::fprintf(stderr, "synth: %s\n", message.c_str());
        return 1;
    }
    return o.no_gui ? run_headless(engine, o) : run_panel(engine, o, files);
}
END_OF_MAIN()
