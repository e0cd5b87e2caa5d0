// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

// Where a datagram goes, as a send resolves it.
class DatagramDestination
{
public:
    // True when text (a host name or a numeric address) resolves to a
    // datagram destination on port.
    static bool resolves(const juce::String& text, int port);
};
