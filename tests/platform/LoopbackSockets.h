// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

#include <memory>

// Sockets over loopback for the tests of the platform's seams, the same on
// every platform: a socket listening on 127.0.0.1 at a port the system picks,
// and a connection through it.
class LoopbackSockets
{
public:
    LoopbackSockets();

    // True while the listener listens.
    bool listening() const;
    juce::StreamingSocket& listener() { return listenerEnd; }

    // Connects a client to the listener (connect), and accepts it (accept).
    bool connect();
    bool accept();
    juce::StreamingSocket& client() { return *clientEnd; }
    juce::StreamingSocket& server() { return *serverEnd; }

    // Closes the server's end with a reset: the client's next send fails.
    void resetServerEnd();

    // Reads what has reached the server's end until nothing more is waiting.
    void drainServerEnd();

private:
    juce::StreamingSocket listenerEnd;
    std::unique_ptr<juce::StreamingSocket> clientEnd;
    std::unique_ptr<juce::StreamingSocket> serverEnd;
};
