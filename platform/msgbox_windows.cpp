// The message box on Windows: the system's own box, until the program hands
// in one drawn on its own screen (message_box_hook).
#include "platform/msgbox.h"

// After msgbox.h: <windows.h> names MB_OK and IDOK as macros.
#include <windows.h>

#include <atomic>
#include <cstdio>

namespace {

std::atomic<message_box_fn> hook{nullptr};

} // namespace

void message_box_hook(message_box_fn show) { hook.store(show); }

int MessageBoxA(void* owner, const char* text, const char* caption, unsigned int type) {
    if (!text) text = "";
    if (!caption) caption = "";
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    if (message_box_fn show = hook.load())
        show(text, caption);
    else
        ::MessageBoxA(static_cast<HWND>(owner), text, caption, type);
    return IDOK;
}
