// KVR516_UPDATE, GPL-3.0-or-later.
#include "update/MixersOutcome.h"

#include "update/UpdateProcedure.h"

#include <algorithm>

MixersOutcome::MixersOutcome(const std::vector<MixerDelivery::Report>& reports,
                             const juce::StringArray& turnedAway, int asked, bool wasCancelled,
                             StageResult waited)
    : wanted(asked), came(static_cast<int>(reports.size())), cancelled(wasCancelled),
      waitResult(waited)
{
    for (const MixerDelivery::Report& r : reports)
    {
        Mixer m;
        m.address = r.address;
        m.attempt = r.attempt;
        m.verdict = verdictOf(r);
        m.result = r.ended ? r.result : StageResult::code4;
        m.report = r;
        finished += r.finished() ? 1 : 0;
        mixers.push_back(m);
    }
    for (const juce::String& address : turnedAway)
    {
        Mixer m;
        m.address = address;
        m.verdict = Verdict::turnedAway;
        mixers.push_back(m);
    }
}

MixersOutcome MixersOutcome::of(const UpdateProcedure& p)
{
    return MixersOutcome(p.getDeliveries(), p.getTurnedAway(), p.getMixersWanted(),
                         p.getResult() == StageResult::cancelled, p.getMixerWaitResult());
}

MixersOutcome MixersOutcome::followedBy(const MixersOutcome& later) const
{
    MixersOutcome whole = *this;
    for (const Mixer& m : later.mixers)
    {
        const auto same = std::find_if(whole.mixers.begin(), whole.mixers.end(),
                                       [&m](const Mixer& e) { return e.address == m.address; });
        if (same == whole.mixers.end())
            whole.mixers.push_back(m);
        else if (m.verdict != Verdict::turnedAway)
        {
            const int before = same->attempt;
            *same = m;
            same->attempt += before;
        }
    }
    whole.came = 0;
    whole.finished = 0;
    for (const Mixer& m : whole.mixers)
    {
        whole.came += m.verdict == Verdict::turnedAway ? 0 : 1;
        whole.finished += m.verdict == Verdict::finished || m.verdict == Verdict::unconfirmed;
    }
    whole.cancelled = later.cancelled;
    if (waitResult == StageResult::success)
        whole.waitResult = later.waitResult;
    return whole;
}

MixersOutcome::Verdict MixersOutcome::verdictOf(const MixerDelivery::Report& r) noexcept
{
    if (r.finished())
        return r.unconfirmed ? Verdict::unconfirmed : Verdict::finished;
    return r.ended && r.result == StageResult::cancelled ? Verdict::cancelled : Verdict::failed;
}

MixersOutcome::Whole MixersOutcome::getWhole() const noexcept
{
    const auto any = [this](Verdict v)
    {
        return std::any_of(mixers.begin(), mixers.end(),
                           [v](const Mixer& m) { return m.verdict == v; });
    };
    const bool missing = came < wanted;
    if (any(Verdict::cancelled) || (missing && cancelled))
        return Whole::cancelled;
    if (any(Verdict::failed))
        return Whole::sendFailed;
    if (missing)
        return waitResult == StageResult::success ? Whole::fewerCame : Whole::connectFailed;
    return any(Verdict::unconfirmed) ? Whole::unconfirmed : Whole::finished;
}

juce::StringArray MixersOutcome::getToTryAgain() const
{
    juce::StringArray addresses;
    for (const Mixer& m : mixers)
        if (m.verdict == Verdict::failed || m.verdict == Verdict::cancelled)
            addresses.add(m.address);
    return addresses;
}
