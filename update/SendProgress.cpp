// KVR516_UPDATE, GPL-3.0-or-later.
#include "update/SendProgress.h"

SendProgress::SendProgress(juce::int64 size, PauseEnded ended)
    : total(size), pauseEnded(std::move(ended))
{
}

void SendProgress::note(juce::int64 written, std::optional<juce::int64> told, double nowMs)
{
    if (finished)
        return;
    if (told.has_value())
    {
        answered = true;
        missedSinceMs = -1;
    }
    else if (acknowledged && answered)
    {
        if (missedSinceMs < 0)
            missedSinceMs = nowMs;
        if (nowMs - missedSinceMs < missedForMs)
            return;
    }
    if (!told.has_value())
        acknowledged = false;
    juce::int64 now = acknowledged ? told.value_or(0) : written;

    noted = true;
    allWritten = allWritten || written >= total;
    if (lastMoveMs < 0)
        lastMoveMs = nowMs;
    // The end is the finish's alone; a reading never takes the figure back.
    now = juce::jlimit<juce::int64>(0, juce::jmax<juce::int64>(total - 1, 0), now);
    if (now > taken)
    {
        endPause(nowMs);
        taken = now;
        lastMoveMs = nowMs;
    }
    recent.emplace_back(nowMs, taken);
    while (recent.size() > 2 && nowMs - recent[1].first >= rateWindowMs)
        recent.pop_front();
}

void SendProgress::finish(double nowMs)
{
    endPause(nowMs);
    taken = total;
    finished = true;
}

void SendProgress::end(double nowMs)
{
    endPause(nowMs);
    lastMoveMs = -1;
}

void SendProgress::endPause(double nowMs)
{
    if (lastMoveMs >= 0 && nowMs - lastMoveMs >= stalledAfterMs && pauseEnded)
        pauseEnded(nowMs - lastMoveMs);
    lastMoveMs = nowMs;
}

SendProgress::Figures SendProgress::figures(double nowMs) const
{
    Figures f;
    f.taken = taken;
    f.total = total;
    f.acknowledged = acknowledged;
    f.finished = finished;
    f.allWritten = allWritten || finished;
    f.hasReading = noted || finished;
    if (finished)
        return f;

    if (lastMoveMs >= 0 && nowMs - lastMoveMs >= stalledAfterMs)
        f.stalledSeconds = (nowMs - lastMoveMs) / 1000.0;
    if (recent.size() >= 2)
    {
        const double span = recent.back().first - recent.front().first;
        if (span >= 500)
            f.bytesPerSecond =
                static_cast<double>(recent.back().second - recent.front().second) * 1000.0 / span;
    }
    // Once all is written, what is left is the mixer's to take, at its own pace.
    if (f.bytesPerSecond > 0 && !allWritten)
        f.secondsLeft = static_cast<double>(total - taken) / f.bytesPerSecond;
    return f;
}
