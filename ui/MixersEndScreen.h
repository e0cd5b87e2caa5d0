// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "update/MixersOutcome.h"

#include <juce_core/juce_core.h>

// The end screen of several mixers, from their account: its message (how
// many finished, and the doubt where some end was not confirmed) and its
// buttons. All finished: OK alone, which ends. Some failed or cancelled: TRY
// AGAIN, which waits for those again, and EXIT, which ends.
class MixersEndScreen
{
public:
    struct Buttons
    {
        int leftText;      // a string entry
        int rightText;     // a string entry
        bool rightVisible; // where the left button waits again
    };

    static Buttons buttons(const MixersOutcome& outcome);
    static juce::String message(const MixersOutcome& outcome);
};
