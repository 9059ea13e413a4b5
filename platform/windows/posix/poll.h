// poll() for the one use the file code has for it, waiting on a FIFO, which
// Windows does not have: a file is always ready.
#pragma once

#define POLLIN 1
struct pollfd {
    int fd;
    short events, revents;
};
static inline int poll(struct pollfd* p, unsigned long n, int) {
    for (unsigned long i = 0; i < n; ++i) p[i].revents = p[i].events;
    return (int)n;
}
