// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/Await.h"

#include <future>
#include <memory>
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
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    std::thread(
        [fn = std::move(fn), done]
        {
            fn();
            done->set_value();
        })
        .detach();
    return finished.wait_for(deadline) == std::future_status::ready;
}
