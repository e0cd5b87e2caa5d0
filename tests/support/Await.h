// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <chrono>
#include <functional>

// Waits in tests, each with a deadline, so that no test can hang.
class Await
{
public:
    // Polls condition every millisecond; true as soon as it holds, false when
    // the deadline passes first.
    static bool until(const std::function<bool()>& condition,
                      std::chrono::milliseconds deadline = std::chrono::seconds(10));

    // Runs fn on a thread of its own; true when it returned before the deadline.
    // A call that overruns gives false once it has returned (it may use the
    // test's objects); one that has not returned a minute later ends the test
    // program with a message.
    static bool returns(std::function<void()> fn,
                        std::chrono::milliseconds deadline = std::chrono::seconds(10));
};
