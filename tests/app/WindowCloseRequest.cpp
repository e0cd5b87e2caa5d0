// KVR516_UPDATE, GPL-3.0-or-later.
// Asks a window to close as a window manager's close button does: sends it
// the WM_DELETE_WINDOW message of the WM_PROTOCOLS it takes part in.
// Usage: kvr_window_close WINDOW_ID (decimal or 0x hexadecimal); exits 0 when sent.
//        kvr_window_close --prepare: makes the protocol atoms exist, as a window
//        manager does, for programs that look them up without making them.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s WINDOW_ID\n", argv[0]);
        return 2;
    }

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
    {
        std::fprintf(stderr, "cannot open the display\n");
        return 1;
    }

    if (std::strcmp(argv[1], "--prepare") == 0)
    {
        for (const char* name :
             {"WM_PROTOCOLS", "WM_DELETE_WINDOW", "WM_TAKE_FOCUS", "_NET_WM_PING"})
            XInternAtom(display, name, False);
        XSync(display, False);
        XCloseDisplay(display);
        return 0;
    }

    const Window window = static_cast<Window>(std::strtoul(argv[1], nullptr, 0));
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;

    const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return sent != 0 ? 0 : 1;
}
