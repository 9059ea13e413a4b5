// The message box on Windows: the system's own box, or the program's.
#include "platform/msgbox.h"

#include <windows.h>

#include <cstdio>

void message_box(const char* text, const char* caption, message_box_fn drawn) {
    if (!text) text = "";
    if (!caption) caption = "";
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    if (drawn)
        drawn(text, caption);
    else
        MessageBoxA(nullptr, text, caption, MB_OK);
}
