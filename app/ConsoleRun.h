// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

// The update without a window, for technicians and scripts:
// "KVR516_UPDATE --console [--file PATH] [--wait SECONDS] [--stall SECONDS]
// [--mixers N] [--report PATH] [--retry REPORT]". It runs the same three stages as the window, in
// the language of the locale, prints what the window would show (the networks announced on, each
// mixer's address, the sending's progress, the outcome with its code) and ends with one exit code
// per outcome; with --mixers N it sends to up to N mixers side by side. Ctrl-C, or another request
// to end the process (CancelRequest), cancels the running stage; a second Ctrl-C ends the process
// at once. It opens no display. The single-instance rule and the run's record are those of the
// window.
class ConsoleRun
{
public:
    // Whether the arguments (after the program's name) ask for the console
    // run, its help or the version: "--console", "--help", "-h" or
    // "--version" among them.
    static bool isAskedFor(const juce::StringArray& arguments);

    // Runs it as the arguments say and returns the exit code (ExitCode).
    static int run(const juce::StringArray& arguments);

    // Says on standard error why the command line is refused (exit code 1).
    static void refuse(const juce::String& reason);

    // Says on standard output, in the locale's language, that the report of
    // --retry has no mixer to try again (exit code 0).
    static void sayNothingToTryAgain();

    // What --help prints, in English.
    static juce::String helpText();
};
