// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "net/Protocol.h"
#include "platform/Sha256.h"

#include <juce_core/juce_core.h>

// Where the update file lies and how an update file for this mixer starts.
class UpdateFile
{
public:
    // The update stream announces the size in 32 bits: a larger file cannot be sent.
    static constexpr juce::int64 maxSize = 0xFFFFFFFFLL;

    // What the check of the initialise stage measured of the update file: the
    // transfer sends exactly these bytes or reports that it could not.
    struct Measure
    {
        juce::int64 size = -1;
        Sha256::Digest hash{};
    };

    // The program's own file with its extension replaced by ".upd".
    static juce::File besideProgram(const juce::File& programFile);

    // The running program's own executable, links resolved (not the working
    // folder joined with the name it was started by).
    static juce::File thisProgram();

    // True when the Protocol::tagSize bytes at data are the tag, case for case.
    static bool isTag(const void* data) noexcept;
};
