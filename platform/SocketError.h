// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

// The system's own words for why the last socket call on this thread failed,
// for the diagnostic log.
class SocketError
{
public:
    static juce::String lastText();
};
