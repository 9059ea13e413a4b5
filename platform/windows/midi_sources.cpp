// MIDI input on Windows: WinMM's input devices. WinMM calls each open
// device's callback on a thread of its own.
#include "platform/midi_sources.h"

#include <windows.h>
#include <mmsystem.h>

#include "platform/host.h"
#include "platform/live.h"
#include "platform/windows/winmm_message.h"

struct midi_source {
    HMIDIIN handle = nullptr;
    midi_message_callback callback = nullptr;
    void* user = nullptr;
};

namespace {

// Every input device by number, with its name.
std::vector<std::string> device_names() {
    std::vector<std::string> names;
    const UINT n = midiInGetNumDevs();
    for (UINT k = 0; k < n; ++k) {
        MIDIINCAPSA caps{};
        names.push_back(midiInGetDevCapsA(k, &caps, sizeof caps) == MMSYSERR_NOERROR ? caps.szPname
                                                                                        : "MIDI input " + std::to_string(k));
    }
    return names;
}

// The device numbers of the usable sources, in WinMM's order.
std::vector<UINT> usable_devices(const std::vector<std::string>& names) {
    std::vector<UINT> devices;
    for (UINT k = 0; k < names.size(); ++k)
        if (midi_source_usable(names[k], program_name())) devices.push_back(k);
    return devices;
}

// WinMM's callback: MIM_DATA brings one short message, its bytes packed low
// byte first. It may only call a few system functions: it hands the message on.
void CALLBACK on_data(HMIDIIN, UINT msg, DWORD_PTR arg, DWORD_PTR word, DWORD_PTR) {
    if (msg != MIM_DATA) return;
    const midi_source* s = reinterpret_cast<midi_source*>(arg);
    unsigned long packed;
    if (pack_winmm_word(static_cast<unsigned long>(word), &packed)) s->callback(packed, s->user);
}

} // namespace

const char* midi_library_name() { return "WinMM"; }

std::vector<std::string> midi_sources() {
    const std::vector<std::string> names = device_names();
    std::vector<std::string> usable;
    for (UINT k : usable_devices(names)) usable.push_back(names[k]);
    return usable;
}

midi_source* midi_source_open(size_t index, midi_message_callback callback, void* user) {
    if (!callback) return nullptr;
    const std::vector<UINT> devices = usable_devices(device_names());
    if (index >= devices.size()) return nullptr;
    auto* s = new midi_source{nullptr, callback, user};
    if (midiInOpen(&s->handle, devices[index], reinterpret_cast<DWORD_PTR>(on_data), reinterpret_cast<DWORD_PTR>(s),
                   CALLBACK_FUNCTION) != MMSYSERR_NOERROR) {
        delete s;
        return nullptr;
    }
    if (midiInStart(s->handle) != MMSYSERR_NOERROR) {
        midiInClose(s->handle);
        delete s;
        return nullptr;
    }
    return s;
}

void midi_source_close(midi_source* s) {
    if (!s) return;
    midiInStop(s->handle);
    midiInReset(s->handle);
    midiInClose(s->handle); // no callback runs once this returns
    delete s;
}
