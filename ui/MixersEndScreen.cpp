// KVR516_UPDATE, GPL-3.0-or-later.
#include "ui/MixersEndScreen.h"

#include "resources/StringEntry.h"
#include "resources/TxtLoader.h"
#include "ui/ResultMessages.h"

MixersEndScreen::Buttons MixersEndScreen::buttons(const MixersOutcome& outcome)
{
    if (outcome.getToTryAgain().isEmpty())
        return {StringEntry::ok, StringEntry::cancel, false};
    return {StringEntry::tryAgain, StringEntry::exit, true};
}

juce::String MixersEndScreen::message(const MixersOutcome& outcome)
{
    juce::String text = ResultMessages::mixersSummary(outcome);
    if (outcome.getWhole() == MixersOutcome::Whole::unconfirmed)
        text << "\n" << TxtLoader::getInstance()->getString(StringEntry::finishUnconfirmed);
    return text;
}
