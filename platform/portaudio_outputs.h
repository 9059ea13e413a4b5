// The output devices of one of PortAudio's host APIs, by name, the default
// first. PortAudio must be initialised; an API it lacks has none.
#pragma once

#include <portaudio.h>

#include <string>
#include <vector>

inline std::vector<std::string> portaudio_outputs(PaHostApiTypeId type) {
    std::vector<std::string> names;
    const PaHostApiIndex api = Pa_HostApiTypeIdToHostApiIndex(type);
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
    return names;
}
