// The MIDI input layer over RtMidi: JACK MIDI when a JACK server answers,
// otherwise the ALSA sequencer.
//
// RtMidi reports failures by exceptions, by its error callback and by
// printing to std::cerr; none of that may reach the program, so every call
// into it runs inside try/catch with std::cerr silenced. The handle
// functions run on the GUI thread (a mutex keeps stray callers out); only
// on_message runs on the MIDI library's thread.
#include "engine/notes.h"
#include "platform/winmidi.h"

#include <rtmidi/RtMidi.h>

#include <atomic>
#include <cctype>
#include <iostream>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "platform/host.h"

struct midi_in_device {
    RtMidiIn* in = nullptr;
    MIDIINPROC callback = nullptr;
    unsigned long instance = 0;
    std::atomic<bool> started{false};
    double seconds = 0.0;           // since the first message, MIDI thread only
    std::atomic<bool> failed{false}; // RtMidi reported an error
    std::atomic<int> delivering{0}; // on_message is between its check and its return
};

namespace {

std::mutex guard;
constexpr int MAX_DEVICES = 8;
midi_in_device* open_devices[MAX_DEVICES] = {};
std::atomic<bool> alsa_only{false};

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

void note_error(RtMidiError::Type, const std::string&, void* user) {
    static_cast<std::atomic<bool>*>(user)->store(true);
}

// A new input of the MIDI library, or null. Errors after creation set *failed.
RtMidiIn* new_input(std::atomic<bool>* failed) {
    quiet_libraries();
    RtMidi::Api api = !alsa_only.load() && jack_server_answers() ? RtMidi::UNIX_JACK : RtMidi::LINUX_ALSA;
    try {
        RtMidiIn* in = new RtMidiIn(api, program_name());
        in->setErrorCallback(note_error, failed);
        return in;
    } catch (...) {
        return nullptr;
    }
}

// The library's port numbers of the usable sources, in its order.
std::vector<unsigned> usable_ports(RtMidiIn* in) {
    std::vector<unsigned> ports;
    unsigned n = in->getPortCount();
    for (unsigned p = 0; p < n; ++p)
        if (midi_source_usable(in->getPortName(p), program_name())) ports.push_back(p);
    return ports;
}

void on_message(double delta, std::vector<unsigned char>* message, void* user) {
    midi_in_device* d = static_cast<midi_in_device*>(user);
    d->seconds += delta;
    unsigned long packed;
    if (!message || !pack_short_message(message->data(), message->size(), &packed)) return;
    d->delivering.fetch_add(1);
    if (d->started.load())
        d->callback(d, MIM_DATA, d->instance, packed, (unsigned long)(d->seconds * 1000.0));
    d->delivering.fetch_sub(1);
}

// Stops delivery and waits out a message that is being delivered right now.
void stop(midi_in_device* d) {
    d->started.store(false);
    while (d->delivering.load() != 0) std::this_thread::yield();
}

int slot_of(HMIDIIN h) {
    if (!h) return -1;
    for (int k = 0; k < MAX_DEVICES; ++k)
        if (open_devices[k] == h) return k;
    return -1;
}

void delete_input(RtMidiIn* in) {
    quiet_cerr quiet;
    try {
        delete in; // closes the port and joins the library's thread
    } catch (...) {
    }
}

} // namespace

bool midi_source_usable(const std::string& port, const std::string& own_client) {
    std::string lower(port);
    for (char& c : lower) c = char(std::tolower((unsigned char)c));
    if (lower.find("through") != std::string::npos) return false;
    if (own_client.empty() || port.compare(0, own_client.size(), own_client) != 0) return true;
    size_t i = own_client.size();
    if (i < port.size() && port[i] == ':') return false;
    if (i < port.size() && port[i] == '-') {
        size_t j = i + 1;
        while (j < port.size() && std::isdigit((unsigned char)port[j])) ++j;
        if (j > i + 1 && j < port.size() && port[j] == ':') return false;
    }
    return true;
}

void midi_use_alsa(bool alsa) { alsa_only.store(alsa); }

std::vector<std::string> midiInGetNames() {
    std::lock_guard lock(guard);
    quiet_cerr quiet;
    std::atomic<bool> failed{false};
    std::vector<std::string> names;
    RtMidiIn* in = new_input(&failed);
    if (!in) return names;
    try {
        for (unsigned p : usable_ports(in)) names.push_back(in->getPortName(p));
    } catch (...) {
    }
    delete_input(in);
    return names;
}

unsigned int midiInGetNumDevs() {
    std::lock_guard lock(guard);
    quiet_cerr quiet;
    std::atomic<bool> failed{false};
    RtMidiIn* in = new_input(&failed);
    if (!in) return 0;
    unsigned n = 0;
    try {
        n = unsigned(usable_ports(in).size());
    } catch (...) {
    }
    delete_input(in);
    return n;
}

MMRESULT midiInOpen(HMIDIIN* handle, unsigned int device, unsigned long callback,
                    unsigned long instance, unsigned long flags) {
    std::lock_guard lock(guard);
    if (!handle) return MMSYSERR_INVALPARAM;
    if ((flags & 0x70000) != CALLBACK_FUNCTION || !callback) return MMSYSERR_INVALPARAM;
    int k = 0;
    while (k < MAX_DEVICES && open_devices[k]) ++k;
    if (k == MAX_DEVICES) return MMSYSERR_ERROR;

    midi_in_device* d = new (std::nothrow) midi_in_device;
    if (!d) return MMSYSERR_ERROR;
    d->callback = reinterpret_cast<MIDIINPROC>(callback);
    d->instance = instance;
    {
        quiet_cerr quiet;
        d->in = new_input(&d->failed);
        if (!d->in) { // no MIDI service at all: no device by that number
            delete d;
            return MMSYSERR_BADDEVICEID;
        }
        MMRESULT result = MMSYSERR_NOERROR;
        try {
            std::vector<unsigned> ports = usable_ports(d->in);
            if (device >= ports.size()) {
                result = MMSYSERR_BADDEVICEID;
            } else {
                d->in->ignoreTypes(true, false, false); // system-exclusive dropped
                d->in->setCallback(on_message, d);
                d->in->openPort(ports[device], "MIDI in");
                if (d->failed.load() || !d->in->isPortOpen()) result = MMSYSERR_ERROR;
            }
        } catch (...) {
            result = MMSYSERR_ERROR;
        }
        if (result != MMSYSERR_NOERROR) {
            delete_input(d->in);
            delete d;
            return result;
        }
    }
    open_devices[k] = d;
    *handle = d;
    d->callback(d, MIM_OPEN, d->instance, 0, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT midiInStart(HMIDIIN handle) {
    std::lock_guard lock(guard);
    if (slot_of(handle) < 0) return MMSYSERR_INVALHANDLE;
    handle->started.store(true);
    return MMSYSERR_NOERROR;
}

MMRESULT midiInReset(HMIDIIN handle) {
    std::lock_guard lock(guard);
    if (slot_of(handle) < 0) return MMSYSERR_INVALHANDLE;
    stop(handle);
    return MMSYSERR_NOERROR;
}

MMRESULT midiInClose(HMIDIIN handle) {
    std::lock_guard lock(guard);
    int k = slot_of(handle);
    if (k < 0) return MMSYSERR_INVALHANDLE;
    stop(handle);
    open_devices[k] = nullptr;
    delete_input(handle->in); // no message is delivered once this returns
    handle->callback(handle, MIM_CLOSE, handle->instance, 0, 0);
    delete handle;
    return MMSYSERR_NOERROR;
}
