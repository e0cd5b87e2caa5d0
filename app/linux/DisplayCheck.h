// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

// Whether the program has a display to open its window on. Without one (no
// DISPLAY, an X server that cannot be reached or refuses the connection, as
// under sudo without the user's X authority or in an SSH session) JUCE would
// build its window on nothing; the program says so and ends instead.
class DisplayCheck
{
public:
    // Empty when the display can be opened; otherwise one line for the user
    // that says what is missing and how to start the program.
    static juce::String problem();
};
