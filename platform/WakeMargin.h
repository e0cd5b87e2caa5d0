// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <chrono>

// How long before a deadline a thread should stop sleeping so that the system's
// late wake-ups do not carry it past the deadline: a running estimate of the
// 90th percentile of the lateness the thread has seen, never above a bound.
// A lateness above the estimate raises it by 9 steps, one below lowers it by
// one step, so that about one wake-up in ten comes later than the estimate. It
// follows a machine whose timers become slower or faster within a few dozen
// wake-ups, and a single very late one moves it by one raise only. A higher
// percentile would not pay: on a busy machine the latest wake-ups are a thread
// waiting for a free processor, which waiting awake does not shorten.
class WakeMargin
{
public:
    using Duration = std::chrono::nanoseconds;

    static constexpr Duration step{1000}; // 1 us
    static constexpr int raiseSteps = 9;

    // Starts at zero.
    explicit WakeMargin(Duration bound);

    // How late, after the time it was asked to wake at, a sleep ended.
    void observe(Duration lateness);

    Duration get() const noexcept { return margin; }

private:
    const Duration bound;
    Duration margin{0};
};
