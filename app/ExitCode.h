// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "update/MixersOutcome.h"
#include "update/Phase.h"
#include "update/StageResult.h"

#include <juce_core/juce_core.h>

#include <vector>

// The console run's exit codes, one per outcome, and what each means: the
// one table that --help prints and that the docs are checked against.
class ExitCode
{
public:
    enum Code
    {
        finished = 0,
        badCommandLine = 1,
        initialiseFailed = 2,
        connectFailed = 3,
        sendFailed = 4,
        cancelled = 5,
        noMixerInTime = 6,
        alreadyRunning = 7,
        unconfirmed = 8
    };

    struct Row
    {
        Code code;
        const char* meaning; // English, as --help prints it
    };

    // The code of a run that ended with result at stage (one that succeeded
    // at the send stage has finished, unconfirmed where this computer could
    // not confirm that the mixer received the end of the file).
    static Code of(Phase stage, StageResult result, bool unconfirmedEnd = false) noexcept;

    // The code of a run for several mixers, as its outcome comes to.
    static Code of(MixersOutcome::Whole whole) noexcept;

    // What the window's run came to, which its report tells (the window
    // itself ends with 0): stage, the last stage it started (Phase::notShown:
    // none) and its result; a stage that succeeded short of the send was
    // left by the user, a cancel. mixers: the account of several mixers,
    // which decides once their send stage has ended without a cancel.
    static Code ofWindow(Phase stage, StageResult result, bool unconfirmedEnd,
                         const MixersOutcome* mixers) noexcept;

    // Every code, in order.
    static const std::vector<Row>& table();

    // The table as --help lists it: one entry per code, wrapped to 76 columns.
    static juce::String helpLines();
};
