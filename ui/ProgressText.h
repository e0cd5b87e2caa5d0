// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "net/SendProgress.h"

#include <juce_core/juce_core.h>

// The sending line in the current language, as the window and the console
// show it: "3.1 MB of 8.4 MB · 1.0 MB/s · about 5 s left", or that the mixer
// has taken nothing for a while.
class ProgressText
{
public:
    static juce::String of(const SendProgress::Figures& figures);
    // Bytes in decimal megabytes with one decimal: "8.4 MB".
    static juce::String megabytes(double bytes);
};
