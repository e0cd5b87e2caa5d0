// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

// Writes on a connected stream socket, given by its raw handle (JUCE's
// getRawSocketHandle), that never block and never raise a signal: a peer that
// has gone away gives a failure the caller handles.
class SocketWrite
{
public:
    // What write returns when nothing could be handed over.
    static constexpr int wouldBlock = -1; // the send buffer is full: wait for room
    static constexpr int failed = -2;     // the connection is broken or the handle bad

    // Hands at most size (> 0) bytes to the socket at once: the number handed
    // over (1 to size), wouldBlock or failed. An interrupted write is retried.
    static int write(int handle, const void* data, int size) noexcept;

    enum class Room
    {
        ready,    // a write can hand bytes over (or will report the failure)
        timedOut, // still full after timeoutMs
        failed    // the wait itself failed, or the peer has reset the connection
    };

    // Waits at most timeoutMs for room in the socket's send buffer, or for
    // the connection's end.
    static Room waitForRoom(int handle, int timeoutMs) noexcept;
};
