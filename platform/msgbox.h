// A modal message box: caption, text and an OK button, blocking until it is
// dismissed. The text also goes to stderr.
#pragma once

int MessageBoxA(void* owner, const char* text, const char* caption, unsigned int type);
