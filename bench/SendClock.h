// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <chrono>
#include <vector>

// Sits between the code under test and the system's send() in this benchmark:
// notes when each send on one watched socket began and ended, so that the pause
// between two writes can be measured on the sending thread itself, and how much
// processor time that thread had used by the end of each send.
class SendClock
{
public:
    using Clock = std::chrono::steady_clock;

    struct Send
    {
        Clock::time_point begin;
        Clock::time_point end;
        long bytes;
        std::chrono::nanoseconds threadTime; // the sending thread's processor time at end
    };

    // Watches handle from now on, room for capacity sends; forgets earlier ones.
    static void watch(int handle, std::size_t capacity);
    static void stop();

    // The sends noted since watch, in order (call after the sender has finished).
    static std::vector<Send> sends();
};
