#include "platform/sound_output.h"

#include <portaudio.h>
#include <pa_jack.h>

#include <algorithm>
#include <cstdint>

#include "platform/host.h"
#include "platform/portaudio_outputs.h"

struct sound_stream {
    PaStream* pa = nullptr;
    sound_callback callback = nullptr;
    void* user = nullptr;
    int frames = 0;
    size_t sample_bytes = 0;
    // A mono stream on a two-channel device is rendered here, then spread.
    bool spread = false;
    unsigned char* mono = nullptr;
    bool running = false;

    ~sound_stream() { delete[] mono; }
};

namespace {

sound_error_code last_error = sound_ok;

// PortAudio brings up its JACK host API as well; its client, should a JACK
// server answer, carries our name rather than "PortAudio".
bool bring_up_portaudio() {
    quiet_libraries();
    PaJack_SetClientName(program_name().c_str());
    return Pa_Initialize() == paNoError;
}

// ALSA's default output device, or paNoDevice.
PaDeviceIndex alsa_default_output() {
    const PaHostApiIndex api = Pa_HostApiTypeIdToHostApiIndex(paALSA);
    const PaHostApiInfo* info = api < 0 ? nullptr : Pa_GetHostApiInfo(api);
    if (!info || info->defaultOutputDevice < 0) return paNoDevice;
    const PaDeviceInfo* d = Pa_GetDeviceInfo(info->defaultOutputDevice);
    return d && d->maxOutputChannels >= 1 ? info->defaultOutputDevice : paNoDevice;
}

template <class T>
void spread(const unsigned char* mono, void* out, unsigned long frames) {
    const T* in = reinterpret_cast<const T*>(mono);
    T* o = static_cast<T*>(out);
    for (unsigned long f = 0; f < frames; ++f) o[2 * f] = o[2 * f + 1] = in[f];
}

int pa_callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                PaStreamCallbackFlags, void* arg) {
    sound_stream* s = static_cast<sound_stream*>(arg);
    if (!s->spread) {
        s->callback(output, int(frames), s->user);
        return paContinue;
    }
    // PortAudio hands over `frames` frames as asked at opening; more are
    // rendered in turns of that size all the same.
    unsigned char* out = static_cast<unsigned char*>(output);
    for (unsigned long done = 0; done < frames;) {
        const unsigned long n = std::min<unsigned long>(frames - done, unsigned(s->frames));
        s->callback(s->mono, int(n), s->user);
        if (s->sample_bytes == 2)
            spread<int16_t>(s->mono, out + done * 4, n);
        else
            spread<float>(s->mono, out + done * 8, n);
        done += n;
    }
    return paContinue;
}

sound_stream* fail(sound_error_code code, sound_stream* s) {
    last_error = code;
    delete s;
    Pa_Terminate();
    return nullptr;
}

} // namespace

sound_stream* sound_open(const sound_format& f, sound_callback callback, void* user) {
    last_error = sound_ok;
    if (!bring_up_portaudio()) {
        last_error = sound_no_library;
        return nullptr;
    }
    auto* s = new sound_stream;
    const PaDeviceIndex dev = alsa_default_output();
    if (dev == paNoDevice) return fail(sound_no_device, s);
    if (f.channels < 1 || f.channels > 2 || f.frames < 1 || f.rate < 1 || !callback)
        return fail(sound_refused, s);
    s->callback = callback;
    s->user = user;
    s->frames = f.frames;
    s->sample_bytes = f.format == sample_format::int16 ? 2 : 4;

    PaStreamParameters out{};
    out.device = dev;
    out.channelCount = f.channels;
    if (f.channels == 1 && Pa_GetDeviceInfo(dev)->maxOutputChannels >= 2) {
        out.channelCount = 2;
        s->spread = true;
        s->mono = new unsigned char[size_t(f.frames) * s->sample_bytes];
    }
    out.sampleFormat = f.format == sample_format::int16 ? paInt16 : paFloat32;
    out.suggestedLatency = Pa_GetDeviceInfo(dev)->defaultLowOutputLatency;
    if (Pa_OpenStream(&s->pa, nullptr, &out, f.rate, unsigned(f.frames), paClipOff | paDitherOff, pa_callback,
                      s) != paNoError)
        return fail(sound_refused, s);
    return s;
}

bool sound_start(sound_stream* s) {
    if (!s) return false;
    if (!s->running && Pa_StartStream(s->pa) != paNoError) {
        last_error = sound_not_started;
        return false;
    }
    s->running = true;
    return true;
}

void sound_stop(sound_stream* s) {
    if (!s || !s->running) return;
    Pa_AbortStream(s->pa); // returns once the callback has returned for good
    s->running = false;
}

void sound_close(sound_stream* s) {
    if (!s) return;
    sound_stop(s);
    Pa_CloseStream(s->pa);
    delete s;
    Pa_Terminate();
}

sound_error_code sound_error() { return last_error; }

std::vector<std::string> sound_alsa_outputs() {
    if (!bring_up_portaudio()) return {};
    std::vector<std::string> names = portaudio_outputs(paALSA);
    Pa_Terminate();
    return names;
}
