// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/TimerPrecision.h"

#include <windows.h>

#include <timeapi.h>

#include <algorithm>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

struct TimerPrecision::Native
{
    // Windows wakes sleeping threads on its scheduler tick, 15.6 ms by default,
    // which would stretch every 1 ms pause to a whole tick. While this is held
    // the tick is 1 ms for the process; the sleep itself is a high-resolution
    // waitable timer where the system has one (Windows 10 1803 and later), an
    // ordinary one otherwise.
    const bool periodRaised = ::timeBeginPeriod(1) == TIMERR_NOERROR;
    const HANDLE timer = createTimer();
    // Set by a stop request; ends the sleep at once.
    const HANDLE stop = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);

    ~Native()
    {
        if (stop != nullptr)
            ::CloseHandle(stop);
        if (timer != nullptr)
            ::CloseHandle(timer);
        if (periodRaised)
            ::timeEndPeriod(1);
    }

    static HANDLE createTimer()
    {
        if (const HANDLE precise = ::CreateWaitableTimerExW(
                nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS))
            return precise;
        return ::CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    }

    // Sleeps until the timer fires after the given time or a stop request comes;
    // true when the timer fired.
    bool sleepFor(std::chrono::nanoseconds time)
    {
        if (timer == nullptr || stop == nullptr)
        {
            // Without handles of its own, a plain sleep of whole milliseconds.
            ::Sleep(static_cast<DWORD>(std::chrono::ceil<std::chrono::milliseconds>(time).count()));
            return true;
        }

        LARGE_INTEGER due{};
        due.QuadPart = -std::max<LONGLONG>(1, time.count() / 100); // relative, in 100 ns
        if (!::SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE))
            return false;

        const HANDLE handles[2] = {stop, timer};
        return ::WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0 + 1;
    }
};

TimerPrecision::TimerPrecision(juce::Thread& t) : thread(t), native(std::make_unique<Native>())
{
    thread.addListener(this);
}

TimerPrecision::~TimerPrecision()
{
    thread.removeListener(this); // no call of exitSignalSent is running after this
}

// Runs on the thread that asks for the stop, after threadShouldExit has become true.
void TimerPrecision::exitSignalSent()
{
    if (native->stop != nullptr)
        ::SetEvent(native->stop);
}

bool TimerPrecision::waitUntil(Clock::time_point deadline)
{
    const auto now = Clock::now();
    const auto awake =
        std::min<Clock::duration>(wakeMargin.get(), (deadline - now) / awakeShareDivisor);
    const auto wakeAt = deadline - awake;
    if (now < wakeAt && !thread.threadShouldExit())
    {
        if (native->sleepFor(wakeAt - now))
            wakeMargin.observe(Clock::now() - wakeAt);
    }

    for (;;)
    {
        if (thread.threadShouldExit())
            return false;
        if (Clock::now() >= deadline)
            return true;
        YieldProcessor();
    }
}
