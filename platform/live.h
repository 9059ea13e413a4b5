// Live playing: one synth_engine on a sound output, played from MIDI sources,
// every message taking effect at the frame it belongs to.
//
// The outputs a system has are the rows of its table (platform/outputs.h):
// on Linux JACK (one client with its own MIDI input, at the server's rate)
// and ALSA; on Windows WASAPI and MME; "none" on both. ALSA, WASAPI and MME
// play through PortAudio in buffers of `period` frames, and MIDI comes from
// the system's MIDI input (the ALSA sequencer, WinMM), every message placed
// in the buffer by its arrival time, one buffer late, always the same.
//
// The program holds one live_session and passes it by reference; every
// member function runs on the program's main thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/sound_output.h"

class synth_engine;
class live_output;
struct output_row;

enum class midi_choice { first, all, named, none };

struct live_settings {
    std::string audio = "auto";            // an output's name from the table, or "auto": each in turn
    int period = 256;                      // frames per buffer (JACK: the server's)
    int rate = 44100;                      // samples per second (JACK: the server's)
    midi_choice midi = midi_choice::first; // first: the first source that is no loopback
    std::string midi_name;                 // named: sources whose name contains this
};

class live_session {
public:
    live_session() = default;
    live_session(const live_session&) = delete;
    live_session& operator=(const live_session&) = delete;
    ~live_session(); // closes what is still open, in order

    // Brings up sound and MIDI and starts rendering `engine`. With "auto" the
    // outputs are tried in the table's order and nothing found is no
    // failure (the program runs silent: failures() says why); with an
    // output named, false when it cannot be had, with the reason in *why,
    // and nothing left open.
    bool open(synth_engine& engine, const live_settings& settings, std::string* why);

    // One line: the host, where the outputs go and which MIDI sources play.
    std::string connections() const;
    // "JACK", "ALSA", "WASAPI", "MME", or "" while no output is up.
    const char* host() const;
    // Each output tried by the latest open and why it failed, "; " between
    // them: "no JACK server answers; no ALSA output device".
    std::string failures() const;
    // Why the latest PortAudio output tried could not be had (sound_ok for none).
    sound_error_code sound_error() const { return sound_error_; }

    // Shutdown, in this order. Each may be called when nothing is open.
    void close_stream(); // no render runs once this returns
    void close_midi();   // no MIDI message is taken once this returns
    void close();        // the sound library is down

    // The outputs and MIDI sources there are to choose from, a line each.
    static std::string devices();

private:
    void shut();

    const output_row* row_ = nullptr;
    live_output* output_ = nullptr;
    std::vector<std::string> failures_;
    sound_error_code sound_error_ = sound_ok;
};

// Whether a MIDI source, by the name its library gives, is one a musician
// would pick: not a loopback port ("Through", "loopback", in any case) and
// not a port of the client named `own_client` (this program), which JACK may
// have renamed to "own_client-NN".
bool midi_source_usable(const std::string& port, const std::string& own_client);

// Whether to take a usable source by the settings' choice, `taken` sources
// already taken; `physical`: a device rather than another program's port.
bool midi_source_wanted(const live_settings& settings, const std::string& name, bool physical, int taken);
