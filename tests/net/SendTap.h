// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <chrono>
#include <functional>
#include <vector>

// Sits between the code under test and the system's send() in this test
// program: records the size and the times of every send on one watched socket,
// can make each such send hand over at most a given number of bytes, and can
// run a hook on the sending thread after a given number of completed sends.
class SendTap
{
public:
    // Watches handle from now on; forgets earlier records, limit and hook.
    static void watch(int handle);
    static void stop();

    // The sizes asked for in each send on the watched handle, in order.
    static std::vector<long> requested();

    // When each send on the watched handle began and ended, in order.
    struct Span
    {
        std::chrono::steady_clock::time_point begin;
        std::chrono::steady_clock::time_point end;
    };
    static std::vector<Span> spans();

    // Each send on the watched handle hands over at most this many bytes.
    static void limitEachSend(long bytes);

    // After the n-th send on the watched handle that handed over bytes, runs
    // hook on the sending thread, once.
    static void afterSend(int n, std::function<void()> hook);
};
