// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

// The console run's standard output and error: whether standard output is a
// terminal (a console on Windows), where a line can be rewritten in place with
// a carriage return, and text written to either in one piece, then flushed.
// The text reaches a file or a pipe as UTF-8; a Windows console gets it
// through the console's own wide-character call, so that Japanese is legible
// whatever the console's code page.
class ConsoleOutput
{
public:
    // Called once before the first write (Windows: the console's output code
    // page becomes UTF-8, for the diagnostic lines on standard error).
    static void prepare();
    // Called once after the last write (Windows: the console's output code
    // page is given back, for the programs the console runs next).
    static void finish();
    static bool isTerminal();
    static void write(const juce::String& text);
    static void writeError(const juce::String& text);
};
