// KVR516_UPDATE, GPL-3.0-or-later.
#include "ui/ResultMessages.h"

#include "resources/StringEntry.h"
#include "resources/TxtLoader.h"
#include "update/UpdateProcedure.h"

namespace
{
struct Row
{
    Phase stage;
    int cancelEntry;
    int code1Entry; // codes 2 to 9 follow it
};

constexpr Row rows[] = {
    {Phase::initialise, StringEntry::initialiseCancelled, StringEntry::initialiseCode1},
    {Phase::connect, StringEntry::connectCancelled, StringEntry::connectCode1},
    {Phase::send, StringEntry::sendCancelled, StringEntry::sendCode1},
};
} // namespace

int ResultMessages::entryFor(Phase stage, StageResult result) noexcept
{
    for (const Row& row : rows)
    {
        if (row.stage != stage)
            continue;
        if (result == StageResult::cancelled)
            return row.cancelEntry;
        const auto code = static_cast<std::int32_t>(result);
        if (code >= 1 && code <= 9)
            return row.code1Entry + code - 1;
        return none;
    }
    return none;
}

juce::String ResultMessages::outcome(Phase stage, StageResult result, const juce::String& shown)
{
    return "\"" + shown + "\" (" + UpdateProcedure::describe(stage, result) + ")";
}

juce::String ResultMessages::finishOutcome(bool unconfirmed)
{
    const TxtLoader* txt = TxtLoader::getInstance();
    juce::String text =
        txt->getString(StringEntry::finished).upToFirstOccurrenceOf("\n", false, false);
    if (unconfirmed)
        text << "\", unconfirmed: \"" << txt->getString(StringEntry::finishUnconfirmed);
    return "Finish (\"" + text + "\")";
}

juce::String ResultMessages::codeAfterText(Phase stage, StageResult result)
{
    return " (" + juce::String(stageCode(stage, result)) + ")";
}

juce::String ResultMessages::mixerName(const juce::String& address, int attempt)
{
    if (attempt <= 1)
        return address;
    const int entry = attempt == 2 ? StringEntry::mixerSecondTry : StringEntry::mixerLaterTry;
    return TxtLoader::getInstance()
        ->getString(entry)
        .replace("%1", address)
        .replace("%2", juce::String(attempt));
}

juce::String ResultMessages::mixerVerdict(const MixersOutcome::Mixer& m)
{
    const TxtLoader* txt = TxtLoader::getInstance();
    using V = MixersOutcome::Verdict;
    switch (m.verdict)
    {
    case V::finished:
        return txt->getString(StringEntry::mixerFinished);
    case V::unconfirmed:
        return txt->getString(StringEntry::mixerUnconfirmed);
    case V::turnedAway:
        return txt->getString(StringEntry::mixerTurnedAway);
    case V::cancelled:
        return txt->getString(entryFor(Phase::send, StageResult::cancelled));
    case V::failed:
        break;
    }
    return txt->getString(entryFor(Phase::send, m.result)) + codeAfterText(Phase::send, m.result);
}

juce::String ResultMessages::mixersSummary(const MixersOutcome& outcome)
{
    return TxtLoader::getInstance()
        ->getString(StringEntry::mixersFinished)
        .replace("%1", juce::String(outcome.getFinished()))
        .replace("%2", juce::String(outcome.getWanted()));
}
