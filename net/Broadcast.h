// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "net/NetworkSetup.h"
#include "net/Protocol.h"
#include "platform/InterfaceQuery.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

// Announces the computer on every network it is on: every 100 ms one 8-byte
// datagram per network to its directed broadcast address, UDP port 56000,
// carrying the listener's TCP port and the computer's own address there. The
// networks are those of the initialise stage's list at first, then those the
// system lists now, taken again twice a second: a network that appears (a
// cable plugged in, an address that came late) is announced on from then on,
// one that goes away is no longer. A network whose datagram cannot be sent (an
// interface that is down, a full buffer, a roam) is skipped for that cycle and
// tried again in the next, and one whose socket could not be made is tried
// again at the next listing. Announcing fails when for 3 seconds in a row
// networks are listed and not one datagram could be sent to any of them. While
// none is listed but loopback (a cable moved to the mixer's network, an address
// still to come) nothing is refused: it waits for a network as long as its
// owner does. Lines about one network are written at most once a minute, so
// that a network that comes and goes does not fill the log.
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

    // How often the list of networks is taken again.
    static constexpr int relistMs = 500;
    // Announcing fails after this many cycles in a row in which networks were
    // listed and not one datagram was sent.
    static constexpr int unreachedCyclesLimit = 30;
    // The least time between two log lines about one network.
    static constexpr int networkLineGapMs = 60000;

    // setup is not owned and outlives the Broadcast; query (owned) lists the
    // networks while announcing; lineGapMs is the least time between two log
    // lines about one network.
    Broadcast(const NetworkSetup& setup, std::unique_ptr<InterfaceQuery> query,
              int lineGapMs = networkLineGapMs);

    // Stops the thread (it returns within one cycle's sends, which never
    // block), then closes every socket once.
    ~Broadcast() override;

    Status getStatus() const noexcept { return status.load(std::memory_order_acquire); }
    // The addresses it announces on now, in the order listed; from any thread.
    juce::StringArray getAnnouncedAddresses() const;
    // True while the last list had no network but loopback; from any thread.
    bool isOnNoNetwork() const;

    void run() override;

    // The datagram that announces address (dotted text) on its network.
    static void makeDatagram(const juce::String& address,
                             unsigned char (&out)[Protocol::datagramSize]);

private:
    struct Target
    {
        NetworkSetup::Network network;
        std::unique_ptr<juce::DatagramSocket> socket; // null when it could not be set up
        unsigned char datagram[Protocol::datagramSize];
        bool failedBefore = false; // a failed send has been logged
    };

    // The log's account of one network.
    struct Said
    {
        double at = 0;   // when the last line about it was written
        int leftOut = 0; // changes since then that were not written
    };

    // run's work: sets up, then announces until stopped; the status to publish.
    Status announceUntilStopped();
    // Sends one cycle's datagrams; true when at least one went out.
    bool announce();

    // Makes the targets those of networks, in its order, keeping the sockets
    // of the networks still listed. At the first call a network whose socket
    // cannot be set up makes it return false; later, such a network is listed
    // without a socket and tried again at the next call.
    bool follow(const std::vector<NetworkSetup::Network>& networks, bool first);
    Target makeTarget(const NetworkSetup::Network& network);
    void finish(Status value) { status.store(value, std::memory_order_release); }

    // Writes text, a change of network, unless a line about it was written
    // less than lineGapMs ago; then it only counts it.
    void note(const NetworkSetup::Network& network, const juce::String& text);
    // Once lineGapMs have passed (at once when ending), writes how each network
    // whose changes were left out stands now.
    void catchUp(bool ending = false);

    std::atomic<Status> status{Status::running};
    std::vector<Target> sockets;
    const NetworkSetup& setup;
    const std::unique_ptr<InterfaceQuery> query;
    const double lineGapMs;
    std::map<juce::String, Said> said; // by the network's description
    mutable std::mutex announcedLock;
    juce::StringArray announced; // the addresses with a socket, for other threads
    bool onNoNetwork = false;    // for other threads
    bool settingUp = true;       // run's: its sockets are being set up
};
