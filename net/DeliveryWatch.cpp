// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/DeliveryWatch.h"

#include <juce_core/juce_core.h>

#include <algorithm>
#include <utility>

DeliveryWatch::DeliveryWatch(int handle)
    : DeliveryWatch([handle](std::uint64_t written)
                    { return Acknowledgement::read(handle, written); },
                    [] { return juce::Time::getMillisecondCounterHiRes(); })
{
}

DeliveryWatch::DeliveryWatch(Reader readerToUse, Clock clockToUse)
    : reader(std::move(readerToUse)), clock(std::move(clockToUse))
{
}

DeliveryWatch::State DeliveryWatch::poll(std::uint64_t written)
{
    if (state == State::unknown)
        acknowledgedBytes = std::max(acknowledgedBytes, written);
    if (state != State::pending)
        return state;

    const Acknowledgement::Reading reading = reader(written);
    const bool firstQuery = !asked;
    asked = true;
    if (reading.answer == Acknowledgement::Answer::refused && firstQuery)
    {
        tells = false;
        acknowledgedBytes = std::max(acknowledgedBytes, written);
        return state = State::unknown;
    }
    if (reading.answer != Acknowledgement::Answer::answered)
        return state = State::failed;

    const std::uint64_t unacknowledged = std::min(reading.unacknowledged, written);
    acknowledgedBytes = std::max(acknowledgedBytes, written - unacknowledged);
    return state = judge(reading);
}

DeliveryWatch::State DeliveryWatch::judge(const Acknowledgement::Reading& reading)
{
    if (reading.unacknowledged != 0)
    {
        candidate = false;
        return reading.closed ? State::failed : State::pending;
    }
    if (!reading.needsConfirmation)
        return State::all;

    const double now = clock();
    if (candidate && sameCounters(reading))
    {
        const double roundTripMs = std::max(reading.roundTripUs, first.roundTripUs) / 1000.0;
        // Too soon keeps the first 0 and waits on.
        return now - firstAt >= std::max(2.0 * roundTripMs, minConfirmationMs) ? State::all
                                                                               : State::pending;
    }
    // A first 0, or one after a send, a retransmission or a time-out: the wait
    // for confirmation starts again from it.
    candidate = true;
    first = reading;
    firstAt = now;
    return State::pending;
}

bool DeliveryWatch::sameCounters(const Acknowledgement::Reading& reading) const
{
    return reading.bytesOut == first.bytesOut &&
           reading.bytesRetransmitted == first.bytesRetransmitted &&
           reading.timeoutEpisodes == first.timeoutEpisodes;
}
