// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "update/MixersOutcome.h"
#include "update/Phase.h"
#include "update/StageResult.h"

#include <juce_core/juce_core.h>

// Which text of the string tables tells the user how a stage ended.
class ResultMessages
{
public:
    // The string entry shown for result of stage (Phase::initialise, connect
    // or send), or none (-1): success, a value outside the codes, another phase.
    static int entryFor(Phase stage, StageResult result) noexcept;

    static constexpr int none = -1;

    // How a run ended, as the record says it, window and console alike: the
    // text shown for result of stage with the stage and its code...
    static juce::String outcome(Phase stage, StageResult result, const juce::String& shown);
    // ...or the finish, with what was said where the end could not be confirmed.
    static juce::String finishOutcome(bool unconfirmed);

    // A failure's code as it follows the text on a last line: " (S3)".
    static juce::String codeAfterText(Phase stage, StageResult result);

    // Several mixers, in the current language: a mixer by its address, with
    // its later try ("198.51.100.21 (second try)"); how it ended (finished;
    // finished, unconfirmed; turned away; or its coded text); how many
    // finished of those asked for ("2 of 3 mixers finished").
    static juce::String mixerName(const juce::String& address, int attempt);
    static juce::String mixerVerdict(const MixersOutcome::Mixer& mixer);
    static juce::String mixersSummary(const MixersOutcome& outcome);
};
