// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "net/Protocol.h"
#include "platform/WakeUp.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

// Listens on TCP port 54000 on every address and accepts the first peer that
// connects: the mixer. Accepts exactly one connection in its lifetime.
class Listener : public juce::Thread
{
public:
    // The values are the codes the user sees (C1, C2).
    enum class Status : std::int32_t
    {
        running = -1,
        connected = 0,
        listenFailed = 1,
        noConnection = 2
    };

    static constexpr int port = Protocol::listenerPort;

    Listener();

    // Ends a pending wait at once, stops the thread (at most 100 ms), then closes
    // and releases the listening socket. Leaves the connected socket alone.
    ~Listener() override;

    // Ends a pending wait at once, without a connection (status 2); from then on
    // no connection is accepted. The destructor does this first.
    void close();

    // Read with acquire: once it is 0, getConnectedSocket() holds the connection.
    Status getStatus() const noexcept { return status.load(std::memory_order_acquire); }

    // The accepted connection, or null; the caller owns it after status 0.
    juce::StreamingSocket* getConnectedSocket() const noexcept
    {
        return connectedSocket.load(std::memory_order_acquire);
    }

    void run() override;

private:
    void finish(Status value) { status.store(value, std::memory_order_release); }

    std::atomic<Status> status{Status::running};
    std::unique_ptr<juce::StreamingSocket> listeningSocket;
    std::atomic<juce::StreamingSocket*> connectedSocket{nullptr};

    // The destructor's request to end the wait: closing is set under lock, which
    // run also holds while it sets up listening and while it hands a connection
    // over; wakeUp ends the wait.
    std::mutex lock;
    bool closing = false;
    WakeUp wakeUp;
};
