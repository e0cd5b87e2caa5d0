// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

// The running program's own executable file, as the operating system knows
// it: the same however the program was started (by absolute or relative
// path, by bare name through PATH, through a symbolic link or a desktop
// launcher), and never taken from the working folder or the command line.
class ProgramFile
{
public:
    // The executable with every symbolic link resolved, or File() when the
    // system cannot tell where the program is. (On Windows, on a file system
    // that cannot resolve its links, the path the program was loaded from.)
    static juce::File get();
};
