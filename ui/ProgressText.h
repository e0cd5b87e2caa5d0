// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "net/SendProgress.h"

#include <juce_core/juce_core.h>

// The send's line in the current language (provisional).
class ProgressText
{
public:
    static juce::String of(const SendProgress::Figures& f);
};
