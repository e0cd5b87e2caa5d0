// KVR516_UPDATE, GPL-3.0-or-later.
//
// Counts what a program draws into a window, from outside it: the X server's
// DAMAGE extension reports every rectangle drawn there, by any client. Prints
// "ready" once it watches; on SIGTERM or SIGINT it prints what it saw:
//
//   seconds=S paints=P paints_per_s=R rects=N
//   area=WxH+X+Y paints=P per_s=R          (each area drawn, most often first)
//
// A paint is one burst of drawing: rectangles whose server times lie within
// 5 ms of the one before (a window is drawn at most once per 10 ms frame).
// An area counts once per paint that drew it. A rate is taken between the
// first paint and the last, so that where the watch begins and ends does not
// count: (paints - 1) per their span; 0 for a single paint.
//
//   kvr_window_damage WINDOW_ID

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <poll.h>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace
{
volatile std::sig_atomic_t stopRequested = 0;
void requestStop(int)
{
    stopRequested = 1;
}

using Area = std::tuple<int, int, int, int>; // width, height, x, y
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: kvr_window_damage WINDOW_ID\n");
        return 2;
    }
    const Window window = static_cast<Window>(std::strtoul(argv[1], nullptr, 0));
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
    {
        std::fprintf(stderr, "kvr_window_damage: cannot open the display\n");
        return 1;
    }
    int eventBase = 0;
    int errorBase = 0;
    if (!XDamageQueryExtension(display, &eventBase, &errorBase))
    {
        std::fprintf(stderr, "kvr_window_damage: the display has no DAMAGE extension\n");
        return 1;
    }
    std::signal(SIGTERM, requestStop);
    std::signal(SIGINT, requestStop);
    XDamageCreate(display, window, XDamageReportRawRectangles);
    XSync(display, False);
    std::printf("ready\n");
    std::fflush(stdout);

    const auto began = std::chrono::steady_clock::now();
    long paints = 0;
    long rects = 0;
    Time first = 0;
    Time last = 0;
    Time paintAt = 0;
    struct Seen
    {
        long paints = 0;
        Time first = 0;
        Time last = 0;
    };
    std::map<Area, Seen> areaPaints;
    std::set<Area> inPaint;
    const auto endPaint = [&]
    {
        for (const Area& a : inPaint)
        {
            Seen& seen = areaPaints[a];
            if (seen.paints++ == 0)
                seen.first = paintAt;
            seen.last = paintAt;
        }
        inPaint.clear();
    };
    const auto rate = [](long paints, Time from, Time to)
    {
        return paints < 2 || to <= from
                   ? 0.0
                   : static_cast<double>(paints - 1) * 1000.0 / static_cast<double>(to - from);
    };
    while (!stopRequested)
    {
        while (XPending(display) > 0)
        {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != eventBase + XDamageNotify)
                continue;
            const auto& d = reinterpret_cast<const XDamageNotifyEvent&>(event);
            if (rects == 0 || d.timestamp > last + 5)
            {
                endPaint();
                ++paints;
                paintAt = d.timestamp;
                if (rects == 0)
                    first = d.timestamp;
            }
            last = d.timestamp;
            ++rects;
            inPaint.insert({d.area.width, d.area.height, d.area.x, d.area.y});
        }
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        ::poll(&fd, 1, 50);
    }
    endPaint();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

    std::printf("seconds=%.3f paints=%ld paints_per_s=%.2f rects=%ld\n", seconds, paints,
                rate(paints, first, paintAt), rects);
    std::vector<std::pair<Seen, Area>> byCount;
    for (const auto& [area, seen] : areaPaints)
        byCount.emplace_back(seen, area);
    std::sort(byCount.begin(), byCount.end(),
              [](const auto& a, const auto& b) { return a.first.paints > b.first.paints; });
    for (const auto& [seen, area] : byCount)
    {
        const auto [w, h, x, y] = area;
        std::printf("area=%dx%d+%d+%d paints=%ld per_s=%.2f\n", w, h, x, y, seen.paints,
                    rate(seen.paints, seen.first, seen.last));
    }
    XCloseDisplay(display);
    return 0;
}
