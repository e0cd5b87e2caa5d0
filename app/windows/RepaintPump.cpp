// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/RepaintPump.h"

namespace
{
// About the refresh rate of a display: what a vertical blank would have done.
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

// Where JUCE's vertical blanks arrive, the repaints are already gone and each
// window's call finds nothing to do.
void RepaintPump::timerCallback()
{
    for (int i = 0; i < juce::ComponentPeer::getNumPeers(); ++i)
        if (auto* peer = juce::ComponentPeer::getPeer(i))
            peer->performAnyPendingRepaintsNow();
}
