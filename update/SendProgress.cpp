// KVR516_UPDATE, GPL-3.0-or-later.
#include "update/SendProgress.h"

SendProgress::SendProgress(juce::int64 size, PauseEnded ended)
    : total(size), pauseEnded(std::move(ended))
{
}

void SendProgress::note(juce::int64 now, bool isAcknowledged, double nowMs)
{
    if (finished)
        return;
    acknowledged = isAcknowledged;
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
    if (f.bytesPerSecond > 0)
        f.secondsLeft = static_cast<double>(total - taken) / f.bytesPerSecond;
    return f;
}
