// The program's message box: caption, text and an OK button, blocking until
// it is dismissed. The text also goes to stderr, as "caption: text".
//
// Once the program's graphics library holds the screen (a full-screen mode
// grabs keyboard and pointer, so another window could never be dismissed),
// the program hands in a box of its own drawn there. Until then the box is
// the system's: on Linux an `xmessage` window when a display is set (with
// no display, or no xmessage, only stderr); on Windows the system's box.
#pragma once

// Draws a box on the program's own screen and waits for OK.
typedef void (*message_box_fn)(const char* text, const char* caption);

// `drawn`: the program's own box, or null for the system's.
void message_box(const char* text, const char* caption, message_box_fn drawn = nullptr);
