// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/FixedSizeHints.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

bool FixedSizeHints::apply(juce::ComponentPeer& peer)
{
    // A connection of its own to the same display: the hints are properties
    // of the window on the server, whoever sets them.
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return false;

    const auto window = reinterpret_cast<Window>(peer.getNativeHandle());
    // X11 hints are in device pixels: the logical bounds mapped to the display
    // as JUCE maps them when it places the window (twice the size at a
    // desktop scale of 2).
    const juce::Rectangle<int> bounds =
        juce::Desktop::getInstance().getDisplays().logicalToPhysical(peer.getBounds());

    bool done = false;
    if (XSizeHints* hints = XAllocSizeHints())
    {
        hints->flags = USPosition | USSize | PMinSize | PMaxSize;
        hints->x = bounds.getX();
        hints->y = bounds.getY();
        hints->width = hints->min_width = hints->max_width = bounds.getWidth();
        hints->height = hints->min_height = hints->max_height = bounds.getHeight();
        XSetWMNormalHints(display, window, hints);
        XFree(hints);
        done = true;
    }

    XSync(display, False);
    XCloseDisplay(display);
    return done;
}
