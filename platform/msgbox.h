// A modal message box: caption, text and an OK button, blocking until it is
// dismissed. The text also goes to stderr.
//
// Without a graphics library of its own up, the box is an `xmessage` window
// when a display is set; with no display (or no xmessage) only stderr. Once
// the program's graphics library holds the screen (a full-screen mode grabs
// keyboard and pointer, so another window could never be dismissed), the
// program hands in a box of its own with message_box_hook. On Windows
// (msgbox_windows.cpp) the box is the system's own until then.
#pragma once

enum { MB_OK = 0, IDOK = 1 };

int MessageBoxA(void* owner, const char* text, const char* caption, unsigned int type);

// Draws a box on the program's own screen and waits for OK; null to go back
// to the default box.
typedef void (*message_box_fn)(const char* text, const char* caption);
void message_box_hook(message_box_fn show);
