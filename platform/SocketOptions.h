// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

// Options of a socket, given by its raw handle (JUCE's getRawSocketHandle).
class SocketOptions
{
public:
    enum class Option
    {
        reuseAddress,      // 0: a port in use cannot be bound again; 1: it can
        broadcast,         // 1: datagrams may go to broadcast addresses
        receiveBufferSize, // in bytes
        sendBufferSize,    // in bytes
        noDelay            // 1: each write of a stream socket leaves at once (no Nagle)
    };

    // Sets one option; false when the system refuses it.
    static bool set(int handle, Option option, int value) noexcept;

    // Accepting and reading on the socket return at once instead of waiting.
    static bool makeNonBlocking(int handle) noexcept;
};
