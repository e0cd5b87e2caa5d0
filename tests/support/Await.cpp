// KVR516_UPDATE, GPL-3.0-or-later.
#include "support/Await.h"

#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

bool Await::until(const std::function<bool()>& condition, std::chrono::milliseconds deadline)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;)
    {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool Await::returns(std::function<void()> fn, std::chrono::milliseconds deadline)
{
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    std::thread runner(
        [&]
        {
            fn();
            done.set_value();
        });
    const bool inTime = finished.wait_for(deadline) == std::future_status::ready;

    // fn uses the test's objects: the test goes on only once it has returned.
    if (!inTime && finished.wait_for(std::chrono::minutes(1)) != std::future_status::ready)
    {
        std::fprintf(stderr, "hang: a call did not return within a minute past its deadline\n");
        std::abort();
    }
    runner.join();
    return inTime;
}
