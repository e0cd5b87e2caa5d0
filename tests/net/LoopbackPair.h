// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

#include <chrono>
#include <memory>
#include <string>

// A TCP connection over loopback on a port the system picks: the program's side
// as a connected juce::StreamingSocket, the other side as a plain handle that
// plays the mixer.
class LoopbackPair
{
public:
    LoopbackPair();
    ~LoopbackPair();

    bool ok() const { return client != nullptr && peer >= 0; }
    juce::StreamingSocket* programSide() const { return client.get(); }
    int peerHandle() const { return peer; }

    // Reads until count bytes have come, the stream ends or the deadline passes.
    std::string read(std::size_t count,
                     std::chrono::milliseconds deadline = std::chrono::seconds(10));

    // True when nothing is waiting to be read and the stream has not ended.
    bool nothingPending() const;

    // Resets the connection from the peer's side and waits until the program's
    // side has seen the reset.
    bool resetFromPeer();

private:
    std::unique_ptr<juce::StreamingSocket> client;
    int peer = -1;
};
