// ALSA, WASAPI and MME: a PortAudio stream of `period` frames on the host
// API's default device, played from the system's MIDI input.
//
// Threads: the main thread opens and closes; each MIDI library thread (or
// WinMM's callback) stamps its messages with their arrival time into a
// queue of its own, which the audio callback drains, placing each message
// in the buffer by its arrival time, one buffer late
// (platform/timed_messages.h).
#include <atomic>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "platform/midi_sources.h"
#include "platform/outputs.h"
#include "platform/timed_messages.h"

namespace {

constexpr int MAX_SOURCES = 8;

class arrival_output final : public live_output {
public:
    arrival_output(synth_engine& engine, const char* host, const live_settings& s)
        : engine_(engine), host_(host), period_(s.period), rate_(s.rate) {}
    ~arrival_output() override {
        stop_stream();
        stop_midi();
        sound_close(stream_);
    }

    void open_midi(const live_settings& s) {
        if (s.midi == midi_choice::none) return;
        const std::vector<std::string> names = midi_sources();
        int opened = 0;
        for (size_t k = 0; k < names.size() && opened < MAX_SOURCES; ++k) {
            if (!midi_source_wanted(s, names[k], true, opened)) continue;
            midi_source* m = midi_source_open(k, on_message, &queues_[opened]);
            if (!m) continue;
            midi_[opened++] = m;
            queue_count_.store(opened, std::memory_order_relaxed);
            midi_from_.push_back(names[k]);
        }
    }

    bool open_stream(sound_host api, std::string* why, sound_error_code* error) {
        const std::string host = host_;
        stream_ = sound_open(api, {1, sample_format::int16, rate_, period_}, render, this, error);
        if (!stream_) {
            *why = *error == sound_refused ? "the " + host + " output device does not play at " +
                                                 std::to_string(rate_) + " Hz"
                   : *error == sound_no_library ? "the sound library could not be brought up for " + host
                                                : "no " + host + " output device";
            return false;
        }
        if (!sound_start(stream_, error)) {
            *why = "the " + host + " output device could not be started";
            return false;
        }
        return true;
    }

    void stop_stream() override { sound_stop(stream_); }

    void stop_midi() override {
        for (midi_source*& m : midi_) {
            midi_source_close(m);
            m = nullptr;
        }
        queue_count_.store(0, std::memory_order_relaxed);
        midi_from_.clear();
    }

    std::string connections() const override {
        return std::string(host_) + " (" + std::to_string(period_) + "-frame buffers, " + std::to_string(rate_) +
               " Hz): audio to " + sound_device(stream_) + "; MIDI from " + joined(midi_from_, "no source");
    }

private:
    // On a MIDI library's thread: stamped and queued.
    static void on_message(unsigned long packed, void* queue) {
        static_cast<message_queue*>(queue)->push({monotonic_ns(), packed});
    }
    // On the audio library's thread.
    static void render(void* out, int frames, void* arg) {
        auto* o = static_cast<arrival_output*>(arg);
        play_arrivals(o->engine_, static_cast<int16_t*>(out), frames, o->placer_, o->queues_,
                      o->queue_count_.load(std::memory_order_relaxed));
    }

    synth_engine& engine_;
    const char* host_;
    int period_, rate_;
    message_queue queues_[MAX_SOURCES];
    std::atomic<int> queue_count_{0};
    arrival_placer placer_; // audio callback only
    midi_source* midi_[MAX_SOURCES] = {};
    std::vector<std::string> midi_from_;
    sound_stream* stream_ = nullptr;
};

} // namespace

live_output* open_arrival_output(sound_host api, const char* host, synth_engine& engine,
                                 const live_settings& s, std::string* why, sound_error_code* error) {
    auto* o = new arrival_output(engine, host, s);
    engine.set_rate(float(s.rate));
    // MIDI first, so that the first buffer already finds what was played.
    o->open_midi(s);
    if (o->open_stream(api, why, error)) return o;
    delete o;
    return nullptr;
}

void close_output(live_output* output) { delete output; }

device_section arrival_outputs(sound_host api, const char* host) {
    return {std::string("audio outputs (") + host + ", the first is used, at --rate: 44100 Hz unless given)",
            sound_outputs(api)};
}
