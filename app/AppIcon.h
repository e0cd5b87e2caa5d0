// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_graphics/juce_graphics.h>

// The program's icon, drawn rather than stored: a mixer's channel strip with
// an arrow bringing the update down into it, on the panel's colour.
class AppIcon
{
public:
    // The icon as a square image of size × size pixels.
    static juce::Image create(int size);
};
