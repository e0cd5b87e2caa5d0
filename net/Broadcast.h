// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "net/NetworkSetup.h"
#include "net/Protocol.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

// Announces the computer on every listed network: every 100 ms one 8-byte
// datagram per interface to its directed broadcast address, UDP port 56000,
// carrying the listener's TCP port and the interface's own address. A network
// whose datagram cannot be sent (an interface that is down, a full buffer) is
// skipped for that cycle and tried again in the next; announcing fails only
// when no network at all could be reached in a whole cycle.
class Broadcast : public juce::Thread
{
public:
    // The values are the codes the user sees (C2, C4).
    enum class Status : std::int32_t
    {
        running = -1,
        stopped = 0,
        setupFailed = 2,
        sendFailed = 4
    };

    static constexpr int port = Protocol::broadcastPort;
    static constexpr int listenerPort = Protocol::listenerPort;
    static constexpr int datagramSize = Protocol::datagramSize;
    static constexpr int cycleMs = 100;

    // setup is not owned and outlives the Broadcast.
    explicit Broadcast(const NetworkSetup& setup);

    // Stops the thread (it returns within one cycle's sends, which never
    // block), then closes every socket once.
    ~Broadcast() override;

    Status getStatus() const noexcept { return status.load(std::memory_order_acquire); }

    void run() override;

    // The datagram that announces address (dotted text) on its network.
    static void makeDatagram(const juce::String& address, unsigned char (&out)[datagramSize]);

private:
    struct Target
    {
        std::unique_ptr<juce::DatagramSocket> socket;
        juce::String destination;
        unsigned char datagram[datagramSize];
        bool failedBefore = false; // a failed send has been logged
    };

    // Sends one cycle's datagrams; false when not one of them could be sent.
    bool announce();

    bool addTarget(int index);
    void finish(Status value) { status.store(value, std::memory_order_release); }

    std::atomic<Status> status{Status::running};
    std::vector<Target> sockets;
    const NetworkSetup& setup;
};
