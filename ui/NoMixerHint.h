// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "platform/FirewallCheck.h"

#include <juce_core/juce_core.h>

// What to check when no mixer has connected after a while, in the current
// language, the same in the window and on the console: the commonest causes,
// what the firewall was found to do where it blocks, and this system's remedy.
class NoMixerHint
{
public:
    // How long the computer waits for a mixer before the hint is shown.
    static constexpr double afterMs = 15000;

    static juce::String text(FirewallCheck::Verdict firewall,
                             FirewallCheck::Remedy remedy = FirewallCheck::remedy());
};
