// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/ExitCode.h"

#include <algorithm>

const std::vector<ExitCode::Row>& ExitCode::table()
{
    static const std::vector<Row> rows{
        {finished, "finished: the whole file was sent and the mixer received its end"},
        {badCommandLine, "the command line was not understood"},
        {initialiseFailed, "the check failed (code I1-I9, printed on the last line)"},
        {connectFailed, "connecting failed (code C1-C9)"},
        {sendFailed, "sending failed (code S1-S9)"},
        {cancelled, "cancelled (Ctrl-C, or the process was asked to end)"},
        {noMixerInTime, "no mixer connected within --wait (with --mixers: fewer than N)"},
        {alreadyRunning, "another copy of KVR516_UPDATE is already running"},
        {unconfirmed, "finished, but this computer could not confirm that the mixer "
                      "received the end of the file (the last line says so)"},
    };
    return rows;
}

ExitCode::Code ExitCode::of(Phase stage, StageResult result, bool unconfirmedEnd) noexcept
{
    if (result == StageResult::cancelled)
        return cancelled;
    if (result == StageResult::success)
        return unconfirmedEnd ? unconfirmed : finished;
    return stage == Phase::initialise ? initialiseFailed
           : stage == Phase::connect  ? connectFailed
                                      : sendFailed;
}

ExitCode::Code ExitCode::of(MixersOutcome::Whole whole) noexcept
{
    using W = MixersOutcome::Whole;
    switch (whole)
    {
    case W::finished:
        return finished;
    case W::unconfirmed:
        return unconfirmed;
    case W::fewerCame:
        return noMixerInTime;
    case W::connectFailed:
        return connectFailed;
    case W::sendFailed:
        return sendFailed;
    case W::cancelled:
        break;
    }
    return cancelled;
}

ExitCode::Code ExitCode::ofWindow(Phase stage, StageResult result, bool unconfirmedEnd,
                                  const MixersOutcome* mixers) noexcept
{
    if (stage == Phase::send && mixers != nullptr && result != StageResult::cancelled)
        return of(mixers->getWhole());
    if (result == StageResult::success && stage != Phase::send)
        return cancelled;
    return of(stage, result, unconfirmedEnd);
}

juce::String ExitCode::helpLines()
{
    constexpr int width = 76;
    const juce::String indent = "     ";
    juce::String text;
    for (const Row& row : table())
    {
        juce::String line = "  " + juce::String(static_cast<int>(row.code)) + "  ";
        for (const juce::String& word : juce::StringArray::fromTokens(row.meaning, " ", ""))
        {
            if (line.length() + 1 + word.length() > width && line.trim().isNotEmpty())
            {
                text << line.trimEnd() << "\n";
                line = indent;
            }
            line << word << " ";
        }
        text << line.trimEnd() << "\n";
    }
    return text;
}
