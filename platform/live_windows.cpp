// Live playing on Windows: sound over PortAudio's WASAPI (shared mode) or
// MME on the default output device, MIDI input from WinMM's midiIn devices.
//
// Threads: the main thread opens and closes; PortAudio's thread renders;
// WinMM calls each open device's callback on a thread of its own, which
// stamps every short message with its arrival time into the device's queue.
// The audio callback drains the queues and places each message in the
// buffer by its arrival time, one buffer late (platform/timed_messages.h).
#include "platform/live.h"

#include <windows.h>
#include <mmsystem.h>
#include <portaudio.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/engine.h"
#include "platform/portaudio_outputs.h"
#include "platform/sound_output.h"
#include "platform/timed_messages.h"
#include "platform/winmm_message.h"

int64_t monotonic_ns() noexcept {
    static const int64_t per_second = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return int64_t(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    const int64_t ticks = t.QuadPart;
    return ticks / per_second * 1000000000 + ticks % per_second * 1000000000 / per_second;
}

namespace {

std::string joined(const std::vector<std::string>& names, const char* none) {
    if (names.empty()) return none;
    std::string s;
    for (const std::string& n : names) s += (s.empty() ? "" : ", ") + n;
    return s;
}

// ---------------------------------------------------------------- MIDI

constexpr int MAX_SOURCES = 8;
message_queue queues[MAX_SOURCES];
std::atomic<int> queue_count{0};
HMIDIIN midi_in[MAX_SOURCES] = {};
std::vector<std::string> midi_from;

std::vector<std::string> midi_source_names() {
    std::vector<std::string> names;
    const UINT n = midiInGetNumDevs();
    for (UINT k = 0; k < n; ++k) {
        MIDIINCAPSA caps{};
        names.push_back(midiInGetDevCapsA(k, &caps, sizeof caps) == MMSYSERR_NOERROR ? caps.szPname
                                                                                        : "MIDI input " + std::to_string(k));
    }
    return names;
}

// WinMM's callback: MIM_DATA brings one short message, its bytes packed low
// byte first. It may only call a few system functions: it stamps and queues.
void CALLBACK midi_in_callback(HMIDIIN, UINT msg, DWORD_PTR queue, DWORD_PTR word, DWORD_PTR) {
    if (msg != MIM_DATA) return;
    unsigned long packed;
    if (pack_winmm_word(static_cast<unsigned long>(word), &packed))
        reinterpret_cast<message_queue*>(queue)->push({monotonic_ns(), packed});
}

// Whether a device is one a musician would pick: not a loopback port.
bool usable_source(const std::string& name) {
    return name.find("Through") == std::string::npos && name.find("loopback") == std::string::npos;
}

void open_midi(const live_settings& s) {
    if (s.midi == midi_choice::none) return;
    const std::vector<std::string> names = midi_source_names();
    int opened = 0;
    for (UINT k = 0; k < names.size() && opened < MAX_SOURCES; ++k) {
        const bool take = s.midi == midi_choice::all ? usable_source(names[k])
                          : s.midi == midi_choice::first ? opened == 0 && usable_source(names[k])
                                                         : names[k].find(s.midi_name) != std::string::npos;
        if (!take) continue;
        HMIDIIN h = nullptr;
        if (midiInOpen(&h, k, reinterpret_cast<DWORD_PTR>(midi_in_callback),
                       reinterpret_cast<DWORD_PTR>(&queues[opened]), CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
            continue;
        if (midiInStart(h) != MMSYSERR_NOERROR) {
            midiInClose(h);
            continue;
        }
        midi_in[opened++] = h;
        queue_count.store(opened, std::memory_order_relaxed);
        midi_from.push_back(names[k]);
        if (s.midi == midi_choice::first) break;
    }
}

// ---------------------------------------------------------------- sound

arrival_placer placer; // audio callback only
synth_engine* engine_playing = nullptr;
PaStream* stream = nullptr;
bool library_up = false;
const char* host_up = "";
std::string device_name;
int period = 0;
int rate = 0;
sound_error_code last_error = sound_ok; // why the latest open failed

// Renders mono, then spreads it to both channels of the interleaved stereo
// buffer, in place from the end.
int pa_callback(const void*, void* output, unsigned long count, const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags,
                void*) {
    int16_t* out = static_cast<int16_t*>(output);
    const int frames = int(count);
    play_arrivals(*engine_playing, out, frames, placer, queues, queue_count.load(std::memory_order_relaxed));
    for (int f = frames - 1; f >= 0; --f) out[2 * f] = out[2 * f + 1] = out[f];
    return paContinue;
}

bool bring_up_library() {
    if (!library_up) library_up = Pa_Initialize() == paNoError;
    return library_up;
}

PaDeviceIndex default_output(PaHostApiTypeId type) {
    const PaHostApiIndex api = Pa_HostApiTypeIdToHostApiIndex(type);
    const PaHostApiInfo* info = api < 0 ? nullptr : Pa_GetHostApiInfo(api);
    if (!info || info->defaultOutputDevice < 0) return paNoDevice;
    const PaDeviceInfo* d = Pa_GetDeviceInfo(info->defaultOutputDevice);
    return d && d->maxOutputChannels >= 2 ? info->defaultOutputDevice : paNoDevice;
}

// Opens and starts a stereo 16-bit stream on the host API's default output;
// false, with *why, when it cannot be had.
bool open_stream(PaHostApiTypeId type, const char* host, const live_settings& s, std::string* why) {
    const PaDeviceIndex dev = default_output(type);
    if (dev == paNoDevice) {
        last_error = sound_no_device;
        *why = std::string("no ") + host + " output device";
        return false;
    }
    const PaDeviceInfo* info = Pa_GetDeviceInfo(dev);
    PaStreamParameters out{};
    out.device = dev;
    out.channelCount = 2;
    out.sampleFormat = paInt16;
    out.suggestedLatency = info->defaultLowOutputLatency;
    if (Pa_OpenStream(&stream, nullptr, &out, s.rate, unsigned(s.period), paClipOff | paDitherOff, pa_callback,
                      nullptr) != paNoError) {
        stream = nullptr;
        last_error = sound_refused;
        *why = std::string("the ") + host + " output device does not play at " + std::to_string(s.rate) + " Hz";
        return false;
    }
    if (Pa_StartStream(stream) != paNoError) {
        Pa_CloseStream(stream);
        stream = nullptr;
        last_error = sound_not_started;
        *why = std::string("the ") + host + " output device could not be started";
        return false;
    }
    host_up = host;
    device_name = info->name;
    return true;
}

} // namespace

bool live_open(synth_engine& engine, const live_settings& s, std::string* why) {
    if (s.audio == audio_choice::none) return true;
    engine_playing = &engine;
    period = s.period;
    rate = s.rate;
    engine.set_rate(float(s.rate));
    std::string reason;
    // MIDI first, so that the first buffer already finds what was played.
    open_midi(s);
    last_error = sound_ok;
    if (!bring_up_library()) {
        last_error = sound_no_library;
        reason = "the sound library could not be brought up";
    } else {
        const bool wasapi = s.audio != audio_choice::mme;
        const bool mme = s.audio != audio_choice::wasapi;
        if ((wasapi && open_stream(paWASAPI, "WASAPI", s, &reason)) || (mme && open_stream(paMME, "MME", s, &reason)))
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

// The sound output's error code, as the panel reports it (platform/sound_output.h).
sound_error_code sound_error() { return last_error; }

std::string live_connections() {
    if (!stream) return "no audio output; no MIDI input";
    return std::string(host_up) + " (" + std::to_string(period) + "-frame buffers, " + std::to_string(rate) +
           " Hz): audio to " + device_name + "; MIDI from " + joined(midi_from, "no source");
}

void live_close_stream() {
    if (stream) Pa_AbortStream(stream); // returns once the callback has returned for good
}

void live_close_midi() {
    for (HMIDIIN& h : midi_in) {
        if (!h) continue;
        midiInStop(h);
        midiInReset(h);
        midiInClose(h); // no callback runs once this returns
        h = nullptr;
    }
    queue_count.store(0, std::memory_order_relaxed);
    midi_from.clear();
}

void live_close() {
    if (stream) {
        Pa_AbortStream(stream);
        Pa_CloseStream(stream);
        stream = nullptr;
    }
    if (library_up) Pa_Terminate();
    library_up = false;
    host_up = "";
    device_name.clear();
}

std::string live_devices() {
    std::string text;
    auto section = [&](const std::string& title, const std::vector<std::string>& names) {
        text += title + ":\n";
        if (names.empty()) text += "  (none)\n";
        for (const std::string& n : names) text += "  " + n + "\n";
    };
    const bool up = bring_up_library();
    for (auto [type, host] : {std::pair{paWASAPI, "WASAPI"}, std::pair{paMME, "MME"}}) {
        const std::vector<std::string> names = up ? portaudio_outputs(type) : std::vector<std::string>{};
        section(std::string("audio outputs (") + host + ", the first is used, at --rate: 44100 Hz unless given)",
                names);
    }
    if (up) Pa_Terminate();
    library_up = false;
    section("MIDI sources (WinMM)", midi_source_names());
    return text;
}
