// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/TimerPrecision.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <sys/prctl.h>

namespace
{
// Tells the processor that this is a busy wait: it saves power and leaves the
// core to the other hardware thread.
inline void pauseHint()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__) || defined(__arm__)
    asm volatile("yield");
#endif
}
} // namespace

struct TimerPrecision::Native
{
    // Linux lets a sleeping thread's timer fire up to its timer slack late, 50 us
    // by default, so that wake-ups can be grouped; the holder's timers fire when
    // they are due. The slack is per thread and given back at the end.
    const int previousSlack = ::prctl(PR_GET_TIMERSLACK, 0UL, 0UL, 0UL, 0UL);

    // The sleep: a condition variable on the monotonic clock, woken by a stop request.
    std::mutex mutex;
    std::condition_variable wake;
    bool woken = false;
};

TimerPrecision::TimerPrecision(juce::Thread& t) : thread(t), native(std::make_unique<Native>())
{
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    thread.addListener(this);
}

TimerPrecision::~TimerPrecision()
{
    thread.removeListener(this); // no call of exitSignalSent is running after this
    if (native->previousSlack > 0)
        ::prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(native->previousSlack), 0UL, 0UL,
                0UL);
}

// Runs on the thread that asks for the stop, after threadShouldExit has become true.
void TimerPrecision::exitSignalSent()
{
    {
        const std::lock_guard<std::mutex> lock(native->mutex);
        native->woken = true;
    }
    native->wake.notify_one();
}

bool TimerPrecision::waitUntil(Clock::time_point deadline)
{
    const auto now = Clock::now();
    const auto awake =
        std::min<Clock::duration>(wakeMargin.get(), (deadline - now) / awakeShareDivisor);
    const auto wakeAt = deadline - awake;
    if (now < wakeAt)
    {
        std::unique_lock<std::mutex> lock(native->mutex);
        while (!native->woken && !thread.threadShouldExit())
        {
            if (native->wake.wait_until(lock, wakeAt) == std::cv_status::timeout)
            {
                wakeMargin.observe(Clock::now() - wakeAt);
                break;
            }
        }
        native->woken = false;
    }

    for (;;)
    {
        if (thread.threadShouldExit())
            return false;
        if (Clock::now() >= deadline)
            return true;
        pauseHint();
    }
}
