// KVR516_UPDATE, GPL-3.0-or-later.
// JUCE's X11 declarations (its display connection) come with its module header.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "app/RepaintPump.h"

#include <juce_events/native/juce_linux_EventLoopInternal.h>

namespace
{
// About the refresh rate of a display, which is as often as JUCE's own
// repaint timer reads from the connection.
constexpr int intervalMs = 16;
} // namespace

RepaintPump::~RepaintPump()
{
    stopTimer();
}

void RepaintPump::start()
{
    startTimer(intervalMs);
}

void RepaintPump::stop()
{
    stopTimer();
}

// JUCE's message loop hands the X connection's events to its windows when the
// connection's socket becomes readable. Its own calls outside that handler (a
// window's repaint timer waiting for its shared-memory paints, a round trip
// while bringing a window to the front) read whatever has arrived into Xlib's
// queue; those events then wait there, the socket being empty, until the
// server sends another one. Here the handler is run whenever Xlib holds such
// events.
void RepaintPump::timerCallback()
{
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
    if (windowSystem == nullptr)
        return;
    ::Display* display = windowSystem->getDisplay();
    if (display == nullptr)
        return;

    int queued = 0;
    {
        const juce::XWindowSystemUtilities::ScopedXLock lock;
        queued = XEventsQueued(display, QueuedAlready);
    }
    if (queued > 0)
        juce::LinuxEventLoopInternal::invokeEventLoopCallbackForFd(ConnectionNumber(display));
}
