// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "platform/WakeMargin.h"

#include <juce_core/juce_core.h>

#include <chrono>
#include <memory>

// Lets one thread keep to deadlines within microseconds, for as long as the
// thread holds this object (made and destroyed on that thread itself).
//
// While it lives, the system wakes the thread's sleeps as precisely as it can
// (Linux: the thread's timer slack is 1 ns instead of 50 us). waitUntil sleeps
// until shortly before a deadline and waits the last stretch awake on the
// monotonic clock; how early the sleep ends is learnt from how late the
// thread's own sleeps have woken (WakeMargin), so that a machine with fast
// timers spends almost no processor time awake, and it is never more than an
// eighth of the wait, so that slow timers cost a bounded share of a processor
// (they then make the wait end late instead). A stop request to the thread
// (signalThreadShouldExit, which stopThread sends) wakes the sleep at once and
// is looked at throughout the last stretch.
class TimerPrecision : private juce::Thread::Listener
{
public:
    using Clock = std::chrono::steady_clock;

    // The margin learnt never exceeds this.
    static constexpr std::chrono::microseconds longestMargin{1000};

    // A wait spends at most 1/awakeShareDivisor of its time awake.
    static constexpr int awakeShareDivisor = 8;

    // thread is the calling thread.
    explicit TimerPrecision(juce::Thread& thread);
    ~TimerPrecision() override;

    TimerPrecision(const TimerPrecision&) = delete;
    TimerPrecision& operator=(const TimerPrecision&) = delete;

    // True once Clock::now() has reached deadline, never earlier; false as
    // soon as the thread has been asked to stop.
    bool waitUntil(Clock::time_point deadline);

    // The margin learnt so far: how long before a deadline the sleep ends,
    // when that is less than an eighth of the wait.
    WakeMargin::Duration margin() const noexcept { return wakeMargin.get(); }

private:
    void exitSignalSent() override;

    struct Native;

    juce::Thread& thread;
    WakeMargin wakeMargin{longestMargin};
    const std::unique_ptr<Native> native;
};
