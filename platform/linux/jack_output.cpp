// The JACK output, over libjack directly.
//
// Threads: the main thread opens and closes; JACK's process thread renders;
// JACK's notification thread only wakes the connection thread, which makes
// the MIDI connections (a JACK callback may not call the server itself).
#include "platform/linux/jack_output.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <semaphore.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "engine/midi_message.h"
#include "platform/host.h"

namespace {

class jack_output final : public live_output {
public:
    jack_output(synth_engine& engine, const live_settings& s) : engine_(engine), settings_(s) {
        sem_init(&wake_, 0, 0);
    }
    ~jack_output() override {
        stop_connector();
        if (client_) jack_client_close(client_);
        sem_destroy(&wake_);
    }

    // Opens the client, the engine set to the server's rate; false with
    // *why when no server answers.
    bool open(std::string* why) {
        before_sound_library();
        jack_status_t status;
        client_ = jack_client_open(program_name().c_str(), JackNoStartServer, &status);
        if (!client_) {
            *why = "no JACK server answers";
            return false;
        }
        rate_ = jack_get_sample_rate(client_);
        engine_.set_rate(float(rate_));
        midi_in_ = jack_port_register(client_, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        out_[0] = jack_port_register(client_, "out_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        out_[1] = jack_port_register(client_, "out_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        if (!midi_in_ || !out_[0] || !out_[1] || jack_set_process_callback(client_, process, this) != 0 ||
            jack_set_port_registration_callback(client_, port_registered, this) != 0 ||
            jack_set_sample_rate_callback(client_, rate_changed, this) != 0 || jack_activate(client_) != 0) {
            *why = "the JACK client could not be set up";
            return false;
        }
        // Audio to the first two physical playback ports (a single one takes both).
        if (const char** play =
                jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput)) {
            for (int c = 0; c < 2 && play[0]; ++c) {
                const char* to = play[c == 1 && play[1] ? 1 : 0];
                if (jack_connect(client_, jack_port_name(out_[c]), to) == 0 &&
                    std::find(audio_to_.begin(), audio_to_.end(), to) == audio_to_.end())
                    audio_to_.push_back(to);
            }
            jack_free(play);
        }
        connect_sources();
        connector_ = std::thread([this] { connector_loop(); });
        return true;
    }

    void stop_stream() override {
        if (client_) jack_deactivate(client_); // the process callback has returned for good
    }

    void stop_midi() override {
        stop_connector();
        if (client_) jack_port_disconnect(client_, midi_in_);
    }

    std::string connections() const override {
        std::vector<std::string> from;
        {
            std::lock_guard lock(names_guard_);
            from = midi_from_;
        }
        std::string line = std::string("JACK client ") + jack_get_client_name(client_) + " (" +
                           std::to_string(jack_get_buffer_size(client_)) + " frames, " +
                           std::to_string(jack_get_sample_rate(client_)) + " Hz): audio to " +
                           joined(audio_to_, "no playback port") + "; MIDI from " + joined(from, "no source");
        if (settings_.midi == midi_choice::all || settings_.midi == midi_choice::named)
            line += " (more as they appear)";
        else if (from.empty() && settings_.midi == midi_choice::first)
            line += " yet (the first to appear)";
        return line;
    }

private:
    static int process(jack_nframes_t n, void* arg) {
        auto* j = static_cast<jack_output*>(arg);
        if (const int r = j->new_rate_.exchange(0, std::memory_order_relaxed)) j->engine_.set_rate(float(r));
        float* left = static_cast<float*>(jack_port_get_buffer(j->out_[0], n));
        float* right = static_cast<float*>(jack_port_get_buffer(j->out_[1], n));
        void* midi = jack_port_get_buffer(j->midi_in_, n);
        // The cycle and its messages through the engine's door.
        block_writer<float> block(j->engine_, left);
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
    static int rate_changed(jack_nframes_t rate, void* arg) {
        auto* j = static_cast<jack_output*>(arg);
        if (rate == j->rate_ || rate == 0) return 0;
        j->rate_ = rate;
        std::fprintf(stderr, "%s: the JACK server now runs at %u Hz; playing at that rate\n",
                     program_name().c_str(), unsigned(rate));
        j->new_rate_.store(int(rate), std::memory_order_relaxed);
        return 0;
    }

    // From JACK's notification thread: a port came or went.
    static void port_registered(jack_port_id_t, int registered, void* arg) {
        if (registered) sem_post(&static_cast<jack_output*>(arg)->wake_);
    }

    // Connects the MIDI sources the settings ask for that are not connected yet.
    void connect_sources() {
        if (settings_.midi == midi_choice::none) return;
        const char** ports = jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
        if (!ports) return;
        const std::string own = jack_get_client_name(client_);
        for (int k = 0; ports[k]; ++k) {
            const std::string name = ports[k];
            if (!midi_source_usable(name, own)) continue;
            jack_port_t* p = jack_port_by_name(client_, ports[k]);
            if (!p) continue;
            const bool physical = jack_port_flags(p) & JackPortIsPhysical;
            if (!midi_source_wanted(settings_, name, physical, taken_)) continue;
            if (jack_port_connected_to(midi_in_, ports[k])) continue;
            if (jack_connect(client_, ports[k], jack_port_name(midi_in_)) != 0) continue;
            ++taken_;
            std::lock_guard lock(names_guard_);
            midi_from_.push_back(name);
        }
        jack_free(ports);
    }

    void connector_loop() {
        while (true) {
            while (sem_wait(&wake_) != 0) {}
            if (quit_.load(std::memory_order_relaxed)) return;
            connect_sources();
        }
    }

    void stop_connector() {
        if (!connector_.joinable()) return;
        quit_.store(true);
        sem_post(&wake_);
        connector_.join();
    }

    synth_engine& engine_;
    const live_settings settings_;
    jack_client_t* client_ = nullptr;
    jack_port_t* midi_in_ = nullptr;
    jack_port_t* out_[2] = {};
    std::atomic<int> new_rate_{0}; // a rate the server changed to, for the process thread to take
    jack_nframes_t rate_ = 0;      // the rate played at, as the notification thread knows it
    std::vector<std::string> audio_to_;

    // The connection thread and what it has connected.
    std::thread connector_;
    sem_t wake_;
    std::atomic<bool> quit_{false};
    mutable std::mutex names_guard_; // main thread and connection thread
    std::vector<std::string> midi_from_;
    int taken_ = 0; // sources connected; connection thread only once it runs
};

} // namespace

live_output* open_jack_output(synth_engine& engine, const live_settings& s, std::string* why, sound_error_code*) {
    auto* j = new jack_output(engine, s);
    if (j->open(why)) return j;
    delete j;
    return nullptr;
}

std::vector<device_section> jack_devices() {
    before_sound_library();
    jack_status_t status;
    jack_client_t* c = jack_client_open((program_name() + "-list").c_str(), JackNoStartServer, &status);
    if (!c) return {};
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
    return {{"audio outputs (JACK at " + rate + " Hz, the first two are used)", audio},
            {"MIDI sources (JACK; --midi all takes the physical ones)", midi}};
}
