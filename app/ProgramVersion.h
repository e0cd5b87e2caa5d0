// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

// The program's name, version and the commit it was built from, as
// "KVR516_UPDATE --version" prints them and the run's record gives them:
// "KVR516_UPDATE 1.0 (commit 0123456789ab)". A build without git history says
// "commit unknown".
class ProgramVersion
{
public:
    static juce::String text();
    // The commit alone: 12 hex digits, or "unknown".
    static juce::String commit();

    // Whether the command line asks for the version: "--version" as its first
    // argument (the arguments after the program's own name).
    static bool isAskedFor(const juce::StringArray& arguments);
};
