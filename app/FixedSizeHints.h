// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Tells the window manager that a window keeps one size: its minimum and
// maximum size hints are both its size. JUCE 7 on X11 sets these hints for a
// window that is not resizable and then replaces them, in the same step, with
// hints that give only the position and size, which leave the window
// resizable under most window managers.
class FixedSizeHints
{
public:
    // Applies the hints to the window of peer, at its current bounds in
    // device pixels.
    static bool apply(juce::ComponentPeer& peer);
};
