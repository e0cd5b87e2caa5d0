// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

// The program's options, read from its arguments (after its name) into the
// settings of a run.
class CommandLine
{
public:
    struct Settings
    {
        bool console = false;    // --console
        bool help = false;       // --help or -h
        juce::File programFile;  // --file; File(): this program, the update file beside it
        double waitSeconds = -1; // --wait; -1: for ever
        juce::String waitText;   // --wait as given
        juce::String error;      // why the arguments are not understood; empty when they are
    };

    static Settings parse(const juce::StringArray& arguments);

    // Whether the arguments ask for the console run or its help.
    static bool asksForConsole(const juce::StringArray& arguments);
};
