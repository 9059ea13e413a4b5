// The few POSIX names the file and program code uses that MinGW-w64 lacks,
// given their Windows meaning. The Windows build includes this ahead of
// every source (platform/windows/posix/posix.cmake).
#pragma once

// M_PI and its kin, as glibc gives them.
#define _USE_MATH_DEFINES

#ifdef __cplusplus
#include <csignal>
#include <cstddef>
#else
#include <signal.h>
#include <stddef.h>
#endif
#include <fcntl.h>
#include <sys/types.h>

// Files are read and written as bytes, never as text with CR LF lines.
#define O_CLOEXEC O_BINARY
#define O_NOCTTY 0
#define O_NONBLOCK 0
// Ctrl+Break is what comes nearest to a hang-up.
#define SIGHUP SIGBREAK

// Only "/proc/self/exe" is asked for: the running program, with / between
// folders as the rest of the code expects (readlink.cpp).
#ifdef __cplusplus
extern "C"
#endif
ssize_t readlink(const char* path, char* buf, size_t size);
