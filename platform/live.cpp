// Live playing over libjack directly (one client for MIDI and audio), or over
// PortAudio on ALSA with the ALSA sequencer through RtMidi.
//
// Threads: the main thread opens and closes; JACK's process thread (or
// PortAudio's callback) renders; JACK's notification thread only wakes the
// connection thread, which makes the MIDI connections (a JACK callback may
// not call the server itself). On ALSA each MIDI library thread stamps its
// messages into a queue of its own, which the audio callback drains.
#include "platform/live.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <semaphore.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "engine/midi_message.h"
#include "platform/host.h"
#include "platform/midi_sources.h"
#include "platform/sound_output.h"
#include "platform/timed_messages.h"

int64_t monotonic_ns() noexcept {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

namespace {

std::string joined(const std::vector<std::string>& names, const char* none) {
    if (names.empty()) return none;
    std::string s;
    for (const std::string& n : names) s += (s.empty() ? "" : ", ") + n;
    return s;
}

// ---------------------------------------------------------------- JACK

struct jack_live {
    jack_client_t* client = nullptr;
    jack_port_t* midi_in = nullptr;
    jack_port_t* out[2] = {};
    synth_engine* engine = nullptr;
    std::atomic<int> new_rate{0}; // a rate the server changed to, for the process thread to take
    jack_nframes_t rate = 0;      // the rate played at, as the notification thread knows it
    live_settings settings;
    std::vector<std::string> audio_to;

    // The connection thread and what it has connected.
    std::thread connector;
    sem_t wake;
    std::atomic<bool> quit{false};
    std::mutex names_guard; // main thread and connection thread
    std::vector<std::string> midi_from;
    bool first_taken = false; // connection thread only
};

jack_live* jack_side = nullptr;

int jack_process(jack_nframes_t n, void* arg) {
    jack_live* j = static_cast<jack_live*>(arg);
    if (const int r = j->new_rate.exchange(0, std::memory_order_relaxed)) j->engine->set_rate(float(r));
    float* left = static_cast<float*>(jack_port_get_buffer(j->out[0], n));
    float* right = static_cast<float*>(jack_port_get_buffer(j->out[1], n));
    void* midi = jack_port_get_buffer(j->midi_in, n);
    // The cycle and its messages through the engine's door.
    block_writer<float> block(*j->engine, left);
    const uint32_t count = jack_midi_get_event_count(midi);
    for (uint32_t k = 0; k < count; ++k) {
        jack_midi_event_t ev;
        unsigned long packed;
        if (jack_midi_event_get(&ev, midi, k) == 0 && pack_short_message(ev.buffer, ev.size, &packed))
            block.add(std::min(ev.time, n), packed);
    }
    block.flush(n);
    std::memcpy(right, left, sizeof(float) * n);
    return 0;
}

// From JACK's notification thread: the server runs at another rate. The
// engine follows from the next cycle on, and the change is said on stderr.
int jack_rate_changed(jack_nframes_t rate, void* arg) {
    jack_live* j = static_cast<jack_live*>(arg);
    if (rate == j->rate || rate == 0) return 0;
    j->rate = rate;
    std::fprintf(stderr, "%s: the JACK server now runs at %u Hz; playing at that rate\n",
                 program_name().c_str(), unsigned(rate));
    j->new_rate.store(int(rate), std::memory_order_relaxed);
    return 0;
}

// From JACK's notification thread: a port came or went.
void jack_port_registered(jack_port_id_t, int registered, void* arg) {
    if (registered) sem_post(&static_cast<jack_live*>(arg)->wake);
}

bool wanted_later(const jack_live& j) {
    return j.settings.midi == midi_choice::all || j.settings.midi == midi_choice::named;
}

// Connects the MIDI sources the settings ask for that are not connected yet.
void connect_sources(jack_live& j) {
    if (j.settings.midi == midi_choice::none) return;
    if (j.settings.midi == midi_choice::first && j.first_taken) return;
    const char** ports = jack_get_ports(j.client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
    if (!ports) return;
    const std::string own = jack_get_client_name(j.client);
    for (int k = 0; ports[k]; ++k) {
        const std::string name = ports[k];
        if (!midi_source_usable(name, own)) continue;
        jack_port_t* p = jack_port_by_name(j.client, ports[k]);
        if (!p) continue;
        if (j.settings.midi == midi_choice::all && !(jack_port_flags(p) & JackPortIsPhysical)) continue;
        if (j.settings.midi == midi_choice::named && name.find(j.settings.midi_name) == std::string::npos)
            continue;
        if (jack_port_connected_to(j.midi_in, ports[k])) continue;
        if (jack_connect(j.client, ports[k], jack_port_name(j.midi_in)) != 0) continue;
        {
            std::lock_guard lock(j.names_guard);
            j.midi_from.push_back(name);
        }
        if (j.settings.midi == midi_choice::first) {
            j.first_taken = true;
            break;
        }
    }
    jack_free(ports);
}

void connector_loop(jack_live* j) {
    while (true) {
        while (sem_wait(&j->wake) != 0) {}
        if (j->quit.load(std::memory_order_relaxed)) return;
        connect_sources(*j);
    }
}

void jack_shut(jack_live* j) {
    if (!j) return;
    if (j->client) jack_client_close(j->client);
    sem_destroy(&j->wake);
    delete j;
}

// Opens the client, the engine set to the server's rate; nullptr with *why
// when no server answers.
jack_live* jack_open(synth_engine& engine, const live_settings& settings, std::string* why) {
    quiet_libraries();
    auto* j = new jack_live;
    sem_init(&j->wake, 0, 0);
    j->engine = &engine;
    j->settings = settings;
    jack_status_t status;
    j->client = jack_client_open(program_name().c_str(), JackNoStartServer, &status);
    if (!j->client) {
        *why = "no JACK server answers";
        jack_shut(j);
        return nullptr;
    }
    j->rate = jack_get_sample_rate(j->client);
    engine.set_rate(float(j->rate));
    j->midi_in = jack_port_register(j->client, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    j->out[0] = jack_port_register(j->client, "out_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    j->out[1] = jack_port_register(j->client, "out_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    if (!j->midi_in || !j->out[0] || !j->out[1] ||
        jack_set_process_callback(j->client, jack_process, j) != 0 ||
        jack_set_port_registration_callback(j->client, jack_port_registered, j) != 0 ||
        jack_set_sample_rate_callback(j->client, jack_rate_changed, j) != 0 ||
        jack_activate(j->client) != 0) {
        *why = "the JACK client could not be set up";
        jack_shut(j);
        return nullptr;
    }
    // Audio to the first two physical playback ports (a single one takes both).
    if (const char** play = jack_get_ports(j->client, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                           JackPortIsPhysical | JackPortIsInput)) {
        for (int c = 0; c < 2 && play[0]; ++c) {
            const char* to = play[c == 1 && play[1] ? 1 : 0];
            if (jack_connect(j->client, jack_port_name(j->out[c]), to) == 0 &&
                std::find(j->audio_to.begin(), j->audio_to.end(), to) == j->audio_to.end())
                j->audio_to.push_back(to);
        }
        jack_free(play);
    }
    connect_sources(*j);
    j->connector = std::thread(connector_loop, j);
    return j;
}

void jack_stop_connector(jack_live* j) {
    if (!j || !j->connector.joinable()) return;
    j->quit.store(true);
    sem_post(&j->wake);
    j->connector.join();
}

// ---------------------------------------------------------------- ALSA

constexpr int MAX_SOURCES = 8;
message_queue alsa_queues[MAX_SOURCES];
std::atomic<int> alsa_queue_count{0};
arrival_placer alsa_placer; // audio callback only
synth_engine* alsa_engine = nullptr;
sound_stream* alsa_stream = nullptr;
midi_source* alsa_midi[MAX_SOURCES] = {};
std::vector<std::string> alsa_midi_from;
int alsa_period = 0;
int alsa_rate = 0;

void alsa_midi_callback(const unsigned char* bytes, size_t size, void* queue) {
    unsigned long packed;
    if (pack_short_message(bytes, size, &packed))
        static_cast<message_queue*>(queue)->push({monotonic_ns(), packed});
}

void alsa_callback(void* buff, int frames, void*) {
    synth_engine& e = *alsa_engine;
    play_arrivals(e, static_cast<int16_t*>(buff), frames, alsa_placer, alsa_queues,
                  alsa_queue_count.load(std::memory_order_relaxed));
}

bool alsa_open(synth_engine& engine, const live_settings& s, std::string* why) {
    alsa_engine = &engine;
    alsa_period = s.period;
    alsa_rate = s.rate;
    engine.set_rate(float(s.rate));
    // MIDI first, so that the first buffer already finds what was played.
    if (s.midi != midi_choice::none) {
        const std::vector<std::string> names = midi_sources();
        int opened = 0;
        for (unsigned k = 0; k < names.size() && opened < MAX_SOURCES; ++k) {
            const bool take = s.midi == midi_choice::all ||
                              (s.midi == midi_choice::first && opened == 0) ||
                              (s.midi == midi_choice::named && names[k].find(s.midi_name) != std::string::npos);
            if (!take) continue;
            midi_source* m = midi_source_open(k, alsa_midi_callback, &alsa_queues[opened]);
            if (!m) continue;
            alsa_midi[opened++] = m;
            alsa_queue_count.store(opened, std::memory_order_relaxed);
            alsa_midi_from.push_back(names[k]);
            if (s.midi == midi_choice::first) break;
        }
    }
    alsa_stream = sound_open({1, sample_format::int16, s.rate, s.period}, alsa_callback, nullptr);
    if (!alsa_stream) {
        *why = sound_error() == sound_refused
                   ? "the ALSA output device does not play at " + std::to_string(s.rate) + " Hz"
                   : "no ALSA output device";
        return false;
    }
    if (!sound_start(alsa_stream)) {
        *why = "the ALSA output device could not be started";
        return false;
    }
    return true;
}

const char* host_up = "";

} // namespace

bool live_open(synth_engine& engine, const live_settings& s, std::string* why) {
    std::string reason;
    if (s.audio == audio_choice::none) return true;
    if (s.audio != audio_choice::alsa) {
        jack_side = jack_open(engine, s, &reason);
        if (jack_side) {
            host_up = "JACK";
            return true;
        }
        if (s.audio == audio_choice::jack) {
            if (why) *why = reason;
            return false;
        }
    }
    if (alsa_open(engine, s, &reason)) {
        host_up = "ALSA";
        return true;
    }
    live_close_stream();
    live_close_midi();
    live_close();
    if (s.audio == audio_choice::automatic) return true; // silent, but the panel runs
    if (why) *why = reason;
    return false;
}

const char* live_host() { return host_up; }

std::string live_connections() {
    if (jack_side) {
        std::vector<std::string> from;
        {
            std::lock_guard lock(jack_side->names_guard);
            from = jack_side->midi_from;
        }
        std::string line = std::string("JACK client ") + jack_get_client_name(jack_side->client) + " (" +
                           std::to_string(jack_get_buffer_size(jack_side->client)) + " frames, " +
                           std::to_string(jack_get_sample_rate(jack_side->client)) + " Hz): audio to " +
                           joined(jack_side->audio_to, "no playback port") + "; MIDI from " +
                           joined(from, "no source");
        if (wanted_later(*jack_side))
            line += " (more as they appear)";
        else if (from.empty() && jack_side->settings.midi == midi_choice::first)
            line += " yet (the first to appear)";
        return line;
    }
    if (alsa_stream)
        return "ALSA (" + std::to_string(alsa_period) + "-frame buffers, " + std::to_string(alsa_rate) +
               " Hz): audio to the default device; MIDI from " +
               joined(alsa_midi_from, "no source");
    return "no audio output; no MIDI input";
}

void live_close_stream() {
    if (jack_side) jack_deactivate(jack_side->client); // the process callback has returned for good
    sound_stop(alsa_stream);
}

void live_close_midi() {
    if (jack_side) {
        jack_stop_connector(jack_side);
        jack_port_disconnect(jack_side->client, jack_side->midi_in);
    }
    for (midi_source*& m : alsa_midi) {
        midi_source_close(m);
        m = nullptr;
    }
    alsa_queue_count.store(0, std::memory_order_relaxed);
    alsa_midi_from.clear();
}

void live_close() {
    jack_stop_connector(jack_side);
    jack_shut(jack_side);
    jack_side = nullptr;
    sound_close(alsa_stream);
    alsa_stream = nullptr;
    host_up = "";
}

std::string live_devices() {
    std::string text;
    auto section = [&](const std::string& title, const std::vector<std::string>& names) {
        text += title + ":\n";
        if (names.empty()) text += "  (none)\n";
        for (const std::string& n : names) text += "  " + n + "\n";
    };
    quiet_libraries();
    jack_status_t status;
    jack_client_t* c = jack_client_open((program_name() + "-list").c_str(), JackNoStartServer, &status);
    if (c) {
        const std::string rate = std::to_string(jack_get_sample_rate(c));
        std::vector<std::string> audio, midi;
        if (const char** p = jack_get_ports(c, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput)) {
            for (int k = 0; p[k]; ++k) audio.push_back(p[k]);
            jack_free(p);
        }
        if (const char** p = jack_get_ports(c, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput)) {
            for (int k = 0; p[k]; ++k) {
                if (!midi_source_usable(p[k], program_name())) continue;
                jack_port_t* port = jack_port_by_name(c, p[k]);
                const bool physical = port && (jack_port_flags(port) & JackPortIsPhysical);
                midi.push_back(std::string(p[k]) + (physical ? " (physical)" : ""));
            }
            jack_free(p);
        }
        jack_client_close(c);
        section("audio outputs (JACK at " + rate + " Hz, the first two are used)", audio);
        section("MIDI sources (JACK; --midi all takes the physical ones)", midi);
    }
    section("audio outputs (ALSA, the first is used, at --rate: 44100 Hz unless given)", sound_alsa_outputs());
    section("MIDI sources (ALSA sequencer)", midi_sources());
    return text;
}
