// Small X11 helper for the panel's end-to-end test.
//
//   x_window grab         holds the keyboard and pointer grabs until killed, so
//                         that no program can take the screen full-screen
//   x_window close NAME   asks the top-level window called NAME to close, as a
//                         window manager's close button does (WM_DELETE_WINDOW)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

Window find(Display* d, Window w, const char* name) {
    char* title = nullptr;
    if (XFetchName(d, w, &title) && title) {
        const bool match = std::strcmp(title, name) == 0;
        XFree(title);
        if (match) return w;
    }
    Window root, parent, *kids = nullptr;
    unsigned n = 0;
    Window found = 0;
    if (XQueryTree(d, w, &root, &parent, &kids, &n)) {
        for (unsigned i = 0; i < n && !found; ++i) found = find(d, kids[i], name);
        if (kids) XFree(kids);
    }
    return found;
}

} // namespace

int main(int argc, char** argv) {
    Display* d = XOpenDisplay(nullptr);
    if (!d || argc < 2) {
        std::fprintf(stderr, "usage: x_window grab | close NAME (with a display)\n");
        return 2;
    }
    const Window root = DefaultRootWindow(d);
    if (std::strcmp(argv[1], "grab") == 0) {
        const int k = XGrabKeyboard(d, root, False, GrabModeAsync, GrabModeAsync, CurrentTime);
        const int p = XGrabPointer(d, root, False, 0, GrabModeAsync, GrabModeAsync, None, None,
                                   CurrentTime);
        XSync(d, False);
        std::printf("grabbed %s\n", k == GrabSuccess && p == GrabSuccess ? "yes" : "no");
        std::fflush(stdout);
        pause();
        return 0;
    }
    if (std::strcmp(argv[1], "close") == 0 && argc == 3) {
        const Window w = find(d, root, argv[2]);
        if (!w) {
            std::fprintf(stderr, "x_window: no window called %s\n", argv[2]);
            return 1;
        }
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = w;
        e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(d, w, False, NoEventMask, &e);
        XSync(d, False);
        return 0;
    }
    std::fprintf(stderr, "usage: x_window grab | close NAME\n");
    return 2;
}
