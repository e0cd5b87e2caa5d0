// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <cstdint>

// Ends a wait for a listening socket from another thread. Once signalled it
// stays signalled: a wait that starts afterwards ends at once too.
class WakeUp
{
public:
    WakeUp();
    ~WakeUp();
    WakeUp(const WakeUp&) = delete;
    WakeUp& operator=(const WakeUp&) = delete;

    // False when the platform could not make one; then wait always fails.
    bool isValid() const noexcept;

    // Ends every wait, present and future; from any thread.
    void signal() noexcept;

    enum class Woken
    {
        signalled, // signal was called (this wins when both happened)
        readable,  // the socket has a connection to accept
        timedOut,  // neither within timeoutMs
        failed     // the wait itself failed
    };

    // Waits for the listening socket (raw handle) to become readable or for
    // the signal, at most timeoutMs (-1: without limit). An interrupted wait
    // goes on.
    Woken wait(int socketHandle, int timeoutMs) noexcept;

private:
    // The platform's handle; -1 when none could be made.
    std::intptr_t handle = -1;
};
