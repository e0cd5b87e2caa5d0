// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "net/Protocol.h"
#include "platform/WakeUp.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>

// Listens on TCP port 54000 on every address and accepts the peers that
// connect, the mixers, up to the number it was made for (one unless asked):
// then it accepts no more, and once its owner lets it go the port is closed,
// so that any other peer is refused.
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

    // Accepts at most connections peers in its lifetime: untilClosed, as
    // many as come until close.
    explicit Listener(int connections = 1);
    static constexpr int untilClosed = std::numeric_limits<int>::max();

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

    // Read with acquire: it is 0 once every connection it was made for has
    // been accepted, and stays running while it accepts more. Each
    // connection can be taken (getConnectedSocket) as soon as it is accepted.
    Status getStatus() const noexcept { return status.load(std::memory_order_acquire); }

    // Hands the oldest accepted connection not yet taken over to the caller,
    // who owns it from then on; null when there is none. Each connection has
    // exactly one owner: its taker, or else the listener, whose destructor
    // closes it.
    juce::StreamingSocket* getConnectedSocket();

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
    const int wanted;

    // The destructor's request to end the wait: closing is set under lock, which
    // run also holds while it sets up listening and while it hands a connection
    // over; wakeUp ends the wait.
    std::mutex lock;
    bool closing = false;
    std::deque<std::unique_ptr<juce::StreamingSocket>> accepted; // not taken yet
    int acceptedCount = 0;
    WakeUp wakeUp;
    CloseOnStop closeOnStop{*this};
};
