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

    Listener();

    // Ends a pending wait at once, waits for the thread to return (which it
    // does at once), then closes and releases the listening socket, and a
    // connection nobody has taken.
    ~Listener() override;

    // Ends a pending wait at once, without a connection (status 2); from then on
    // no connection is accepted. A stop request to the thread (stopThread,
    // signalThreadShouldExit) does this too, and so does the destructor, first.
    void close();

    // Waits at most timeoutMs until the port listens or run has ended (when
    // listening failed, for instance); true once either holds.
    bool waitUntilListening(int timeoutMs);

    // True from the moment the port listens; it stays true after the wait ends.
    bool isListening() const noexcept { return listening.load(std::memory_order_acquire); }

    // Read with acquire: once it is 0, getConnectedSocket() hands the connection over.
    Status getStatus() const noexcept { return status.load(std::memory_order_acquire); }

    // Hands the accepted connection over to the caller, who owns it from then
    // on; null when there is none or it was taken before. The exchange leaves
    // each connection with exactly one owner: the first caller, or else the
    // listener, whose destructor closes it.
    juce::StreamingSocket* getConnectedSocket() noexcept
    {
        return connectedSocket.exchange(nullptr, std::memory_order_acq_rel);
    }

    void run() override;

private:
    // Closes the listener when its thread is asked to stop.
    struct CloseOnStop : juce::Thread::Listener
    {
        explicit CloseOnStop(::Listener& l) : owner(l) {}
        void exitSignalSent() override { owner.close(); }
        ::Listener& owner;
    };

    // run's work: listens, then accepts the first connection or ends the wait.
    void listenAndAccept();
    void finish(Status value);

    std::atomic<Status> status{Status::running};
    std::atomic<bool> listening{false};
    juce::WaitableEvent settled{true}; // signalled once listening, or once run has ended
    std::unique_ptr<juce::StreamingSocket> listeningSocket;
    std::atomic<juce::StreamingSocket*> connectedSocket{nullptr};

    // The destructor's request to end the wait: closing is set under lock, which
    // run also holds while it sets up listening and while it hands a connection
    // over; wakeUp ends the wait.
    std::mutex lock;
    bool closing = false;
    WakeUp wakeUp;
    CloseOnStop closeOnStop{*this};
};
