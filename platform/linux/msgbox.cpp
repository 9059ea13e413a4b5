// The message box on Linux: an xmessage window, or the program's own.
#include "platform/msgbox.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern char** environ;

namespace {

void write_all(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return;
        p += w;
        n -= size_t(w);
    }
}

// Runs xmessage with the text on its standard input (so that no text can be
// taken for an option) and waits until it is dismissed. False when it could
// not be started.
bool xmessage_box(const char* text, const char* caption) {
    int in[2];
    if (pipe2(in, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    int devnull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (devnull >= 0) posix_spawn_file_actions_adddup2(&actions, devnull, 2);
    std::string title = caption;
    const char* argv[] = {"xmessage", "-center", "-title", title.c_str(), "-buttons", "OK:0",
                          "-default", "OK", "-file", "-", nullptr};
    pid_t pid;
    int rc = posix_spawnp(&pid, "xmessage", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (devnull >= 0) close(devnull);
    close(in[0]);
    if (rc != 0) {
        close(in[1]);
        return false;
    }
    // xmessage may end before it has read the text (no X server at DISPLAY,
    // say): that must not kill the program with SIGPIPE. The signal is held
    // back in this thread for the write and a pending one is then discarded.
    sigset_t pipe_only, before;
    sigemptyset(&pipe_only);
    sigaddset(&pipe_only, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_only, &before);
    write_all(in[1], text, std::strlen(text));
    close(in[1]);
    const timespec no_wait{0, 0};
    while (sigtimedwait(&pipe_only, nullptr, &no_wait) == SIGPIPE) {}
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return true;
}

} // namespace

void message_box(const char* text, const char* caption, message_box_fn drawn) {
    if (!text) text = "";
    if (!caption) caption = "";
    std::string line = std::string(caption) + ": " + text + "\n";
    write_all(2, line.data(), line.size());
    if (drawn) {
        drawn(text, caption);
    } else {
        const char* display = std::getenv("DISPLAY");
        if (display && *display) xmessage_box(text, caption);
    }
}
