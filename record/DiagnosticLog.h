// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

// A short account of what happened, for a user to hand to support: one line
// per event on standard error, each starting with the program's name, and the
// same line in the run's record (RunRecord) once that is open. Nothing is
// shown on screen.
class DiagnosticLog
{
public:
    // Writes "KVR516_UPDATE: text" and a line end in one write, so that lines
    // of different threads never mix, then hands text to the run's record.
    // Any thread may call it.
    static void line(const juce::String& text);

    // For a catch (...) at the end of a thread's work: writes that the work of
    // where ended on an exception, and what it was (its what(), or that it is
    // no std::exception). Never throws, so that the thread goes on to publish
    // its status.
    static void thrown(const char* where) noexcept;
};
