// The sound layer over PortAudio: one output device, callback-driven streams
// of signed 16-bit mono samples, heard on both speakers.
//
// Every FSOUND_ call comes from the GUI thread; a mutex keeps a stray second
// caller from racing them. The audio thread runs only pa_callback, which
// touches nothing but its own stream.
#include "platform/fsound.h"

#include <portaudio.h>
#include <pa_jack.h>

#include <mutex>
#include <vector>

#include "platform/block_feed.h"
#include "platform/host.h"

struct FSOUND_STREAM {
    FSOUND_STREAMCALLBACK callback;
    int length; // bytes handed to the callback each time
    int userdata;
    int channels = 0;
    PaStream* pa = nullptr;
    bool playing = false;
    std::vector<int16_t> block;
    block_feed feed;

    FSOUND_STREAM(FSOUND_STREAMCALLBACK cb, int len, int user)
        : callback(cb), length(len), userdata(user), block(size_t(len / 2) + 1),
          feed(block.data(), len / 2) {}
};

namespace {

std::mutex guard;
int last_error = FMOD_ERR_NONE;
bool pa_up = false;     // Pa_Initialize has succeeded and not yet been undone
bool initialised = false;
PaDeviceIndex device = paNoDevice;
PaHostApiTypeId host = paInDevelopment;
bool alsa_only = false; // FSOUND_OUTPUT_ALSA was chosen

constexpr int MAX_STREAMS = 16;
FSOUND_STREAM* streams[MAX_STREAMS] = {};

signed char fail(int code) {
    last_error = code;
    return 0;
}

bool bring_up_portaudio() {
    if (pa_up) return true;
    quiet_libraries();
    PaJack_SetClientName(program_name().c_str());
    pa_up = Pa_Initialize() == paNoError;
    return pa_up;
}

void take_down_portaudio() {
    if (pa_up) Pa_Terminate();
    pa_up = false;
    device = paNoDevice;
}

// The default output of a host API, or paNoDevice.
PaDeviceIndex default_output(PaHostApiTypeId type) {
    PaHostApiIndex api = Pa_HostApiTypeIdToHostApiIndex(type);
    if (api < 0) return paNoDevice;
    const PaHostApiInfo* info = Pa_GetHostApiInfo(api);
    if (!info || info->defaultOutputDevice < 0) return paNoDevice;
    const PaDeviceInfo* d = Pa_GetDeviceInfo(info->defaultOutputDevice);
    if (!d || d->maxOutputChannels < 1) return paNoDevice;
    return info->defaultOutputDevice;
}

// The low-latency output: JACK when a server answered PortAudio, else ALSA.
bool choose_device(bool alsa_only) {
    if (!bring_up_portaudio()) return false;
    device = alsa_only ? paNoDevice : default_output(paJACK);
    host = paJACK;
    if (device == paNoDevice) {
        device = default_output(paALSA);
        host = paALSA;
    }
    return device != paNoDevice;
}

int pa_callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                PaStreamCallbackFlags, void* user) {
    FSOUND_STREAM* s = static_cast<FSOUND_STREAM*>(user);
    bool more = s->feed.write(static_cast<int16_t*>(output), frames, s->channels, [s] {
        return s->callback(s, s->block.data(), s->length, s->userdata) != 0;
    });
    return more ? paContinue : paComplete;
}

PaStream* open_on(PaDeviceIndex dev, FSOUND_STREAM* s, int samplerate) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(dev);
    if (!info || info->maxOutputChannels < 1) return nullptr;
    PaStreamParameters out{};
    out.device = dev;
    // Two channels where there are two, so the mono stream sounds on both
    // speakers (PortAudio connects output n to playback port n under JACK).
    out.channelCount = info->maxOutputChannels >= 2 ? 2 : 1;
    out.sampleFormat = paInt16;
    out.suggestedLatency = info->defaultLowOutputLatency;
    PaStream* pa = nullptr;
    if (Pa_OpenStream(&pa, nullptr, &out, samplerate, unsigned(s->length / 2), paClipOff | paDitherOff,
                      pa_callback, s) != paNoError)
        return nullptr;
    s->channels = out.channelCount;
    return pa;
}

int slot_of(FSOUND_STREAM* s) {
    if (!s) return -1;
    for (int k = 0; k < MAX_STREAMS; ++k)
        if (streams[k] == s) return k;
    return -1;
}

void close_stream(int k) {
    FSOUND_STREAM* s = streams[k];
    if (s->pa) {
        Pa_AbortStream(s->pa); // waits until the callback has returned
        Pa_CloseStream(s->pa);
    }
    delete s;
    streams[k] = nullptr;
}

} // namespace

signed char FSOUND_SetOutput(int outputtype) {
    std::lock_guard lock(guard);
    if (initialised) return fail(FMOD_ERR_INIT);
    if (outputtype != FSOUND_OUTPUT_ASIO && outputtype != FSOUND_OUTPUT_ALSA)
        return fail(FMOD_ERR_OUTPUT_FORMAT);
    alsa_only = outputtype == FSOUND_OUTPUT_ALSA;
    if (!choose_device(alsa_only)) return fail(FMOD_ERR_OUTPUT_FORMAT);
    return 1;
}

signed char FSOUND_SetDriver(int driver) {
    std::lock_guard lock(guard);
    if (initialised) return fail(FMOD_ERR_INIT);
    if (driver != 0) return fail(FMOD_ERR_INVALID_PARAM);
    return 1;
}

signed char FSOUND_Init(int mixrate, int, unsigned int) {
    std::lock_guard lock(guard);
    if (initialised) return 1;
    if (mixrate <= 0) return fail(FMOD_ERR_INVALID_PARAM);
    if (device == paNoDevice && !choose_device(alsa_only)) return fail(FMOD_ERR_INIT);
    initialised = true;
    return 1;
}

int FSOUND_GetError() {
    std::lock_guard lock(guard);
    return last_error;
}

FSOUND_STREAM* FSOUND_Stream_Create(FSOUND_STREAMCALLBACK callback, int length, unsigned int mode,
                                    int samplerate, int userdata) {
    std::lock_guard lock(guard);
    constexpr unsigned other_formats = 0x08 | 0x40 | 0x80; // 8-bit, stereo, unsigned
    if (!callback || length < 2 || length > (1 << 24) || samplerate < 1000 || samplerate > 384000 ||
        !(mode & FSOUND_16BITS) || !(mode & FSOUND_MONO) || (mode & other_formats)) {
        fail(FMOD_ERR_INVALID_PARAM);
        return nullptr;
    }
    if (!initialised) {
        fail(FMOD_ERR_UNINITIALIZED);
        return nullptr;
    }
    int k = 0;
    for (; k < MAX_STREAMS && streams[k]; ++k) {}
    if (k == MAX_STREAMS) {
        fail(FMOD_ERR_MEMORY);
        return nullptr;
    }
    FSOUND_STREAM* s = nullptr;
    try {
        s = new FSOUND_STREAM(callback, length, userdata);
    } catch (...) {
    }
    if (!s) {
        fail(FMOD_ERR_MEMORY);
        return nullptr;
    }
    s->pa = open_on(device, s, samplerate);
    // A JACK server running at another rate cannot take the stream; ALSA's
    // default device converts the rate.
    if (!s->pa && host == paJACK) s->pa = open_on(default_output(paALSA), s, samplerate);
    if (!s->pa) {
        delete s;
        fail(FMOD_ERR_PLAY);
        return nullptr;
    }
    streams[k] = s;
    return s;
}

int FSOUND_Stream_Play(int, FSOUND_STREAM* stream) {
    std::lock_guard lock(guard);
    int k = slot_of(stream);
    if (k < 0) {
        fail(FMOD_ERR_INVALID_PARAM);
        return -1;
    }
    if (!stream->playing) {
        if (Pa_StartStream(stream->pa) != paNoError) {
            fail(FMOD_ERR_PLAY);
            return -1;
        }
        stream->playing = true;
    }
    return 0;
}

signed char FSOUND_Stream_Close(FSOUND_STREAM* stream) {
    std::lock_guard lock(guard);
    int k = slot_of(stream);
    if (k < 0) return fail(FMOD_ERR_INVALID_PARAM);
    close_stream(k);
    return 1;
}

void FSOUND_Close() {
    std::lock_guard lock(guard);
    for (int k = 0; k < MAX_STREAMS; ++k)
        if (streams[k]) close_stream(k);
    take_down_portaudio();
    initialised = false;
    alsa_only = false;
}

const char* fsound_output_host() {
    std::lock_guard lock(guard);
    if (!initialised) return "";
    return host == paJACK ? "JACK" : "ALSA";
}

std::vector<std::string> fsound_alsa_outputs() {
    std::lock_guard lock(guard);
    std::vector<std::string> names;
    if (!bring_up_portaudio()) return names;
    PaHostApiIndex api = Pa_HostApiTypeIdToHostApiIndex(paALSA);
    const PaHostApiInfo* info = api < 0 ? nullptr : Pa_GetHostApiInfo(api);
    for (int k = 0; info && k < info->deviceCount; ++k) {
        PaDeviceIndex d = Pa_HostApiDeviceIndexToDeviceIndex(api, k);
        const PaDeviceInfo* di = Pa_GetDeviceInfo(d);
        if (!di || di->maxOutputChannels < 1) continue;
        if (d == info->defaultOutputDevice)
            names.insert(names.begin(), di->name);
        else
            names.push_back(di->name);
    }
    if (!initialised) take_down_portaudio();
    return names;
}
