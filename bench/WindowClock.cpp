// KVR516_UPDATE, GPL-3.0-or-later.
//
// Tells the benchmark when a window appears on the X display. Prints "ready"
// once it watches; with --click it then presses and releases the first mouse
// button where the pointer is and prints "clicked=T" once the display has taken
// the release; with --mapped it prints "mapped=T" when the next top-level
// window is mapped, and with --painted also "painted=T" when that window's
// centre pixel is first other than black: the display runs with a black root
// and the program paints no black there, so that is its first paint. T is
// wall-clock time in ns.
//
//   kvr_window_clock [--click] [--mapped] [--painted] [--timeout SECONDS]
//
// Exits 1 when no window came in time.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <thread>

namespace
{
long long wallNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The pixel at the window's centre, or -1 when it cannot be read.
long centrePixel(Display* display, Window window)
{
    XWindowAttributes a;
    if (!XGetWindowAttributes(display, window, &a) || a.width < 1 || a.height < 1)
        return -1;
    XImage* image = XGetImage(display, window, a.width / 2, a.height / 2, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr)
        return -1;
    const long pixel = static_cast<long>(XGetPixel(image, 0, 0));
    XDestroyImage(image);
    return pixel;
}

int errorHandler(Display*, XErrorEvent*)
{
    return 0; // a window that went away while it was read: not ours to report
}
} // namespace

int main(int argc, char** argv)
{
    bool painted = false;
    bool click = false;
    bool mapped = false;
    int timeoutSeconds = 30;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--painted") == 0)
            painted = mapped = true;
        else if (std::strcmp(argv[i], "--click") == 0)
            click = true;
        else if (std::strcmp(argv[i], "--mapped") == 0)
            mapped = true;
        else if (std::strcmp(argv[i], "--timeout") == 0 && i + 1 < argc)
            timeoutSeconds = std::atoi(argv[++i]);
    }

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
    {
        std::fprintf(stderr, "kvr_window_clock: cannot open the display\n");
        return 1;
    }
    XSetErrorHandler(errorHandler);
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    std::printf("ready\n");
    std::fflush(stdout);

    if (click)
    {
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        XSync(display, False);
        std::printf("clicked=%lld\n", wallNs());
        std::fflush(stdout);
    }
    if (!mapped)
        return 0;

    const long long deadline = wallNs() + timeoutSeconds * 1000000000LL;
    Window window = 0;
    while (window == 0)
    {
        while (window == 0 && XPending(display) > 0)
        {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && !event.xmap.override_redirect)
                window = event.xmap.window;
        }
        if (window != 0)
            break;
        const long long left = deadline - wallNs();
        if (left <= 0)
            return 1;
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        ::poll(&fd, 1, static_cast<int>(left / 1000000 + 1));
    }
    std::printf("mapped=%lld\n", wallNs());
    std::fflush(stdout);

    if (painted)
    {
        for (;;)
        {
            const long pixel = centrePixel(display, window);
            if (pixel > 0)
                break;
            if (wallNs() > deadline)
                return 1;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        std::printf("painted=%lld\n", wallNs());
    }
    XCloseDisplay(display);
    return 0;
}
