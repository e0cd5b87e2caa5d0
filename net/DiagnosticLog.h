// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

// A short account of what happened, for a user to paste into a support
// request: one line per event on standard error, each starting with the
// program's name. Nothing is shown on screen and nothing goes to a file.
class DiagnosticLog
{
public:
    // Writes "KVR516_UPDATE: text" and a line end in one write, so that lines
    // of different threads never mix. Any thread may call it.
    static void line(const juce::String& text);
};
