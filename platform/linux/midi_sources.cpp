// MIDI input on Linux: the ALSA sequencer through RtMidi.
//
// RtMidi reports failures by exceptions, by its error callback and by
// printing to std::cerr; none of that may reach the program, so every call
// into it runs inside try/catch with std::cerr silenced.
#include "platform/midi_sources.h"

#include <rtmidi/RtMidi.h>

#include <atomic>
#include <iostream>

#include "engine/midi_message.h"
#include "platform/host.h"
#include "platform/live.h"

struct midi_source {
    RtMidiIn* in = nullptr;
    midi_message_callback callback = nullptr;
    void* user = nullptr;
    std::atomic<bool> failed{false}; // RtMidi reported an error (from its thread too)
};

namespace {

// Keeps RtMidi's warnings off std::cerr while it lives.
class quiet_cerr {
public:
    quiet_cerr() : old_(std::cerr.rdbuf(nullptr)) {}
    ~quiet_cerr() {
        std::cerr.rdbuf(old_);
        std::cerr.clear();
    }

private:
    std::streambuf* old_;
};

void note_error(RtMidiError::Type, const std::string&, void* failed) {
    static_cast<std::atomic<bool>*>(failed)->store(true);
}

// A new input on the ALSA sequencer, or null. Errors after creation set *failed.
RtMidiIn* new_input(std::atomic<bool>* failed) {
    before_sound_library();
    try {
        auto* in = new RtMidiIn(RtMidi::LINUX_ALSA, program_name());
        in->setErrorCallback(note_error, failed);
        return in;
    } catch (...) {
        return nullptr;
    }
}

void delete_input(RtMidiIn* in) {
    try {
        delete in; // closes the port and joins the library's thread
    } catch (...) {
    }
}

// The library's port numbers of the usable sources, in its order.
std::vector<unsigned> usable_ports(RtMidiIn* in) {
    std::vector<unsigned> ports;
    const unsigned n = in->getPortCount();
    for (unsigned p = 0; p < n; ++p)
        if (midi_source_usable(in->getPortName(p), program_name())) ports.push_back(p);
    return ports;
}

void on_message(double, std::vector<unsigned char>* message, void* arg) {
    const midi_source* s = static_cast<midi_source*>(arg);
    unsigned long packed;
    if (message && !message->empty() && message->size() <= 3 &&
        pack_short_message(message->data(), message->size(), &packed))
        s->callback(packed, s->user);
}

} // namespace

const char* midi_library_name() { return "ALSA sequencer"; }

std::vector<std::string> midi_sources() {
    quiet_cerr quiet;
    std::vector<std::string> names;
    std::atomic<bool> failed{false};
    RtMidiIn* in = new_input(&failed);
    if (!in) return names;
    try {
        for (unsigned p : usable_ports(in)) names.push_back(in->getPortName(p));
    } catch (...) {
    }
    delete_input(in);
    return names;
}

midi_source* midi_source_open(size_t index, midi_message_callback callback, void* user) {
    if (!callback) return nullptr;
    quiet_cerr quiet;
    auto* s = new midi_source;
    s->callback = callback;
    s->user = user;
    s->in = new_input(&s->failed);
    bool opened = false;
    try {
        const std::vector<unsigned> ports = s->in ? usable_ports(s->in) : std::vector<unsigned>{};
        if (index < ports.size()) {
            s->in->ignoreTypes(true, false, false); // system-exclusive dropped
            s->in->setCallback(on_message, s);
            s->in->openPort(ports[index], "MIDI in");
            opened = !s->failed.load() && s->in->isPortOpen();
        }
    } catch (...) {
    }
    if (opened) return s;
    delete_input(s->in);
    delete s;
    return nullptr;
}

void midi_source_close(midi_source* s) {
    if (!s) return;
    quiet_cerr quiet;
    delete_input(s->in);
    delete s;
}
