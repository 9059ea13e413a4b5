// clap_window PLUGIN.clap SECONDS: shows a CLAP plugin's own window, as a
// host does (floating, with the host's timer on Linux and the thread's
// message loop on Windows), for the given seconds, then closes it. Prints
// "window W x H" once it is shown. For the tests of the plugin's window in
// a CLAP host, on Linux and under Wine.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "clap/entry.h"
#include "clap/ext/gui.h"
#include "clap/ext/timer-support.h"
#include "clap/host.h"
#include "clap/plugin-factory.h"

namespace {

clap_id timer_id = CLAP_INVALID_ID;

const clap_host_gui_t host_gui = {
    [](const clap_host_t*) {},
    [](const clap_host_t*, uint32_t, uint32_t) { return false; },
    [](const clap_host_t*) { return true; },
    [](const clap_host_t*) { return true; },
    [](const clap_host_t*, bool) {},
};

const clap_host_timer_support_t host_timer = {
    [](const clap_host_t*, uint32_t, clap_id* id) {
        *id = timer_id = 1;
        return true;
    },
    [](const clap_host_t*, clap_id) {
        timer_id = CLAP_INVALID_ID;
        return true;
    },
};

const clap_host_t host = {
    CLAP_VERSION, nullptr, "synth tests", "synth", "", "1",
    [](const clap_host_t*, const char* id) -> const void* {
        if (std::strcmp(id, CLAP_EXT_GUI) == 0) return &host_gui;
        if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return &host_timer;
        return nullptr;
    },
    [](const clap_host_t*) {}, [](const clap_host_t*) {}, [](const clap_host_t*) {}};

int fail(const char* why) {
    std::fprintf(stderr, "clap_window: %s\n", why);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: clap_window PLUGIN.clap SECONDS\n");
        return 2;
    }
#ifdef _WIN32
    void* module = reinterpret_cast<void*>(LoadLibraryA(argv[1]));
    auto* entry = module ? reinterpret_cast<const clap_plugin_entry_t*>(
                               GetProcAddress(static_cast<HMODULE>(module), "clap_entry"))
                         : nullptr;
    const char* api = CLAP_WINDOW_API_WIN32;
#else
    void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    auto* entry = module ? static_cast<const clap_plugin_entry_t*>(dlsym(module, "clap_entry")) : nullptr;
    const char* api = CLAP_WINDOW_API_X11;
#endif
    if (!entry || !entry->init(argv[1])) return fail("not a CLAP plugin");
    auto* factory = static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
    if (!factory || factory->get_plugin_count(factory) < 1) return fail("no plugin in it");
    const clap_plugin_t* plugin = factory->create_plugin(factory, &host, factory->get_plugin_descriptor(factory, 0)->id);
    if (!plugin || !plugin->init(plugin)) return fail("the plugin did not start");
    auto* gui = static_cast<const clap_plugin_gui_t*>(plugin->get_extension(plugin, CLAP_EXT_GUI));
    auto* timer = static_cast<const clap_plugin_timer_support_t*>(plugin->get_extension(plugin, CLAP_EXT_TIMER_SUPPORT));
    if (!gui || !gui->is_api_supported(plugin, api, true) || !gui->create(plugin, api, true))
        return fail("the plugin has no window here");
    gui->suggest_title(plugin, "synth");
    uint32_t w = 0, h = 0;
    if (!gui->get_size(plugin, &w, &h) || !gui->show(plugin)) return fail("the window did not show");
    std::printf("window %u x %u\n", w, h);
    std::fflush(stdout);

    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(long(std::atof(argv[2]) * 1000));
    while (std::chrono::steady_clock::now() < end) {
#ifdef _WIN32
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
#endif
        if (timer && timer_id != CLAP_INVALID_ID) timer->on_timer(plugin, timer_id);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    gui->hide(plugin);
    gui->destroy(plugin);
    plugin->destroy(plugin);
    entry->deinit();
    return 0;
}
