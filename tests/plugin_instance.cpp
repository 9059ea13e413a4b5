#include "tests/plugin_instance.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

// Modules stay loaded until the test program ends, as hosts keep them.
void* load_module(const std::string& path) {
#ifdef _WIN32
    return reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
#else
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

void* module_function(void* module, const char* name) {
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
#else
    return dlsym(module, name);
#endif
}

std::vector<float> plugin_instance::play(const std::vector<timed_midi>& events, int64_t frames,
                                         const std::vector<int>& blocks, bool* right_equals_left) {
    std::vector<float> out;
    out.reserve(size_t(frames));
    *right_equals_left = true;
    size_t next = 0, b = 0;
    for (int64_t pos = 0; pos < frames;) {
        const int n = int(std::min<int64_t>(blocks[b++ % blocks.size()], frames - pos));
        const size_t first = next;
        while (next < events.size() && events[next].frame < pos + n) ++next;
        run_block(pos, n, std::span(events).subspan(first, next - first));
        out.insert(out.end(), out_[0].begin(), out_[0].begin() + n);
        if (!std::equal(out_[0].begin(), out_[0].begin() + n, out_[1].begin())) *right_equals_left = false;
        pos += n;
    }
    return out;
}
