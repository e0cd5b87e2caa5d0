// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

// The program's options, read from its arguments (after its name) into the
// settings of a run, the window's or the console's. Each option is taken once;
// a number of seconds is digits with at most one decimal point, above 0 and
// at most maxSeconds.
class CommandLine
{
public:
    struct Settings
    {
        bool console = false;    // --console
        bool help = false;       // --help or -h
        bool version = false;    // --version
        juce::File programFile;  // --file; File(): this program, the update file beside it
        double waitSeconds = -1; // --wait; -1: for ever
        juce::String waitText;   // --wait as given
        double stallSeconds = defaultStallSeconds; // --stall (the console run's only)
        juce::String stallText = juce::String(static_cast<int>(defaultStallSeconds)); // as given
        int mixers = 1; // --mixers (the window's ready screen starts with it)
        bool mixersGiven = false;
        juce::String reportPath; // --report: where the run's report goes ("-": standard output)
        juce::String retryPath;  // --retry: the report whose failed mixers are tried again
        juce::String error;      // why the arguments are not understood; empty when they are
    };

    // How long the console run lets the mixer take nothing before the send
    // ends, unless --stall says otherwise. The window waits for the user.
    static constexpr double defaultStallSeconds = 120;
    // The shortest --stall: what the mixer has taken is read every 0.1 s, and
    // one reading missed holds the figure for up to a second, so a shorter
    // limit would end a healthy mixer's send.
    static constexpr double minStallSeconds = 2;
    static constexpr double maxSeconds = 1.0e6;
    // The most mixers one run sends to, the console's or the window's.
    static constexpr int maxMixers = 64;

    static Settings parse(const juce::StringArray& arguments);

    // Whether the arguments ask for the console run or its help.
    static bool asksForConsole(const juce::StringArray& arguments);
};
