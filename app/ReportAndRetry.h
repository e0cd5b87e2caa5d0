// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "app/CommandLine.h"
#include "app/RetryList.h"

#include <juce_core/juce_core.h>

// What --report and --retry ask of a run before anything is announced, the
// console's and the window's alike: the report to try again read, the place
// of the new report found writable, and the mixers a second try waits for.
class ReportAndRetry
{
public:
    struct Prepared
    {
        RetryList::List retry; // empty without --retry
        juce::String refusal;  // why the run is refused (exit code 1); empty when it is not
        bool nothingToTryAgain = false; // --retry of a report in which every mixer finished
    };

    // A second try waits for as many mixers as its report has to try again,
    // each told apart (settings' mixers); window: the window's run, whose
    // report goes to a file, never to standard output.
    static Prepared prepare(CommandLine::Settings& settings, bool window);
};
