#include <windows.h>

extern "C" ssize_t readlink(const char*, char* buf, size_t size) {
    const DWORD n = GetModuleFileNameA(nullptr, buf, DWORD(size));
    if (n == 0 || n >= size) return -1;
    for (DWORD i = 0; i < n; ++i)
        if (buf[i] == '\\') buf[i] = '/';
    return ssize_t(n);
}
