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

bool DeliveryWatch::read(std::uint64_t written, Acknowledgement::Reading& reading)
{
    reading = reader(written);
    const bool firstQuery = !asked;
    asked = true;
    if (reading.answer == Acknowledgement::Answer::refused && firstQuery)
    {
        tells = false;
        state = State::unknown;
    }
    if (!tells)
    {
        acknowledgedBytes = std::max(acknowledgedBytes, written);
        return false;
    }
    if (reading.answer != Acknowledgement::Answer::answered || reading.inconsistent)
        return false;
    const std::uint64_t unacknowledged = std::min(reading.unacknowledged, written);
    acknowledgedBytes = std::max(acknowledgedBytes, written - unacknowledged);
    return true;
}

DeliveryWatch::Progress DeliveryWatch::progress(std::uint64_t written)
{
    const std::lock_guard<std::mutex> hold(lock);
    if (state == State::pending)
    {
        Acknowledgement::Reading reading;
        read(written, reading);
    }
    else if (state != State::failed)
        acknowledgedBytes = std::max(acknowledgedBytes, written);
    return {acknowledgedBytes, tells};
}

DeliveryWatch::State DeliveryWatch::poll(std::uint64_t written)
{
    const std::lock_guard<std::mutex> hold(lock);
    if (state != State::pending)
        return state;

    Acknowledgement::Reading reading;
    const bool counted = read(written, reading);
    if (state != State::pending)
        return state;
    if (counted)
        return state = judge(reading);
    if (reading.answer == Acknowledgement::Answer::answered)
    {
        // Inconsistent: no judgement on it, and no confirmation across it.
        candidate = false;
        return state;
    }
    return state = State::failed;
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
    // What a closed connection's counters say is not documented: a 0 read
    // only after the close proves nothing, and no later reading can confirm one.
    if (reading.closed)
        return State::failed;
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
