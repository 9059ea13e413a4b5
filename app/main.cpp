// The synthesizer program: prepares the engine, brings up graphics, sound and
// MIDI, runs the control panel until Escape (or the window's close button),
// and takes everything down again: the stream first, then MIDI input, then
// the sound library. Returns 0 on every path.
#include <allegro.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "engine/engine.h"
#include "midi/midi_input.h"
#include "panel/dialog.h"
#include "platform/fsound.h"
#include "platform/msgbox.h"

namespace {

// Set from Allegro's window thread when the window's close button is pressed.
std::atomic<bool> close_pressed{false};
void on_close_button() { close_pressed.store(true, std::memory_order_relaxed); }

int (*library_mouse_b)() = nullptr;

// Every dialog of the program (the panel, the file selector, alerts) polls
// the mouse buttons once per pass of its loop. Resting here lets an idle
// panel leave the processor to the audio thread, and turns the window's
// close button into the Escape key every dialog already understands.
int idle_mouse_b() {
    if (close_pressed.load(std::memory_order_relaxed) && !keypressed())
        simulate_keypress(KEY_ESC << 8 | 27);
    rest(1);
    return library_mouse_b();
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

} // namespace

int main(int, char**) {
    engine_init(); // instrument defaults, phase steps, note frequencies

    if (install_allegro(SYSTEM_AUTODETECT, &errno, atexit) != 0) {
        std::fprintf(stderr, "synth: no display to show the panel on%s%s\n",
                     allegro_error[0] ? ": " : "", allegro_error);
        return 0;
    }
    install_keyboard();
    install_timer(); // rest() needs it to sleep at all

    if (desktop_color_depth() < 16) {
        MessageBoxA(nullptr, "Needs 16, 24, or 32 bit color", "Error", 0);
        return 0;
    }
    set_color_depth(desktop_color_depth());
    // Many desktops refuse a full-screen mode: a window of the same size will do.
    if (set_gfx_mode(GFX_AUTODETECT_FULLSCREEN, 1024, 768, 0, 0) < 0 &&
        set_gfx_mode(GFX_AUTODETECT_WINDOWED, 1024, 768, 0, 0) < 0) {
        MessageBoxA(nullptr, "Cannot set 1024x768 gfx mode", "Error", 0);
        return 0;
    }
    set_close_button_callback(on_close_button);
    setup_gui_colours();
    // From here on every dialog, the boxes below as well as the panel, takes
    // the mouse and rests between passes.
    install_mouse();
    library_mouse_b = gui_mouse_b;
    gui_mouse_b = idle_mouse_b;
    message_box_hook(panel_message_box);

    if (FSOUND_SetOutput(FSOUND_OUTPUT_ASIO) != 1) MessageBoxA(nullptr, "Error", "SetOutput", 0);
    FSOUND_SetDriver(0);
    if (FSOUND_Init(44100, 16, 0) != 1) {
        std::printf("%d\n", FSOUND_GetError());
        std::fflush(stdout);
    }

    initmidi(0);
    midiopen(); // from here on notes reach the voices

    FSOUND_STREAM* stream = FSOUND_Stream_Create(
        streamcallback, streamsamples, FSOUND_16BITS | FSOUND_MONO | FSOUND_SIGNED, 44100, 0);
    if (stream) FSOUND_Stream_Play(FSOUND_FREE, stream); // from here on the engine renders

    BITMAP* picture = load_bitmap("synth.bmp", nullptr);
    set_picture(picture);

    do_dialog(the_dialog, -1);

    if (picture) destroy_bitmap(picture);
    set_picture(nullptr);
    if (stream) FSOUND_Stream_Close(stream);
    midiclose();
    FSOUND_Close();
    message_box_hook(nullptr);
    return 0;
}
END_OF_MAIN()
