// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

// Where the system keeps a user's files about what programs did (histories,
// logs), apart from settings and documents: on Linux $XDG_STATE_HOME, or
// ~/.local/state where it is unset, empty or not an absolute path; on Windows
// the user's local application data folder (%LOCALAPPDATA%).
class StateFolder
{
public:
    // The folder, which may not exist yet; File() when the system names none
    // (no home folder).
    static juce::File get();
};
