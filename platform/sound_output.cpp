#include "platform/sound_output.h"

#include <portaudio.h>

#include <algorithm>
#include <cstdint>

#include "platform/host.h"

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
    std::string device;

    ~sound_stream() { delete[] mono; }
};

namespace {

PaHostApiTypeId api_type(sound_host host) {
    switch (host) {
    case sound_host::wasapi: return paWASAPI;
    case sound_host::mme: return paMME;
    case sound_host::alsa: break;
    }
    return paALSA;
}

bool bring_up_portaudio() {
    before_sound_library();
    return Pa_Initialize() == paNoError;
}

// The host API's default output device, or paNoDevice.
PaDeviceIndex default_output(sound_host host) {
    const PaHostApiIndex api = Pa_HostApiTypeIdToHostApiIndex(api_type(host));
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

sound_stream* fail(sound_error_code code, sound_stream* s, sound_error_code* error) {
    if (error) *error = code;
    delete s;
    Pa_Terminate();
    return nullptr;
}

} // namespace

sound_stream* sound_open(sound_host host, const sound_format& f, sound_callback callback, void* user,
                         sound_error_code* error) {
    if (!bring_up_portaudio()) {
        if (error) *error = sound_no_library;
        return nullptr;
    }
    auto* s = new sound_stream;
    const PaDeviceIndex dev = default_output(host);
    if (dev == paNoDevice) return fail(sound_no_device, s, error);
    if (f.channels < 1 || f.channels > 2 || f.frames < 1 || f.rate < 1 || !callback)
        return fail(sound_refused, s, error);
    s->callback = callback;
    s->user = user;
    s->frames = f.frames;
    s->sample_bytes = f.format == sample_format::int16 ? 2 : 4;
    const PaDeviceInfo* info = Pa_GetDeviceInfo(dev);
    s->device = info->name ? info->name : "";

    PaStreamParameters out{};
    out.device = dev;
    out.channelCount = f.channels;
    if (f.channels == 1 && info->maxOutputChannels >= 2) {
        out.channelCount = 2;
        s->spread = true;
        s->mono = new unsigned char[size_t(f.frames) * s->sample_bytes];
    }
    out.sampleFormat = f.format == sample_format::int16 ? paInt16 : paFloat32;
    out.suggestedLatency = info->defaultLowOutputLatency;
    if (Pa_OpenStream(&s->pa, nullptr, &out, f.rate, unsigned(f.frames), paClipOff | paDitherOff, pa_callback,
                      s) != paNoError)
        return fail(sound_refused, s, error);
    if (error) *error = sound_ok;
    return s;
}

bool sound_start(sound_stream* s, sound_error_code* error) {
    if (!s) return false;
    if (!s->running && Pa_StartStream(s->pa) != paNoError) {
        if (error) *error = sound_not_started;
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

std::string sound_device(const sound_stream* s) { return s ? s->device : std::string(); }

std::vector<std::string> sound_outputs(sound_host host) {
    std::vector<std::string> names;
    if (!bring_up_portaudio()) return names;
    const PaHostApiIndex api = Pa_HostApiTypeIdToHostApiIndex(api_type(host));
    const PaHostApiInfo* info = api < 0 ? nullptr : Pa_GetHostApiInfo(api);
    for (int k = 0; info && k < info->deviceCount; ++k) {
        const PaDeviceIndex d = Pa_HostApiDeviceIndexToDeviceIndex(api, k);
        const PaDeviceInfo* di = Pa_GetDeviceInfo(d);
        if (!di || di->maxOutputChannels < 1) continue;
        if (d == info->defaultOutputDevice)
            names.insert(names.begin(), di->name);
        else
            names.push_back(di->name);
    }
    Pa_Terminate();
    return names;
}
