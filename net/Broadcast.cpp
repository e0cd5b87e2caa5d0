// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/Broadcast.h"

#include "platform/DatagramDestination.h"
#include "platform/SocketError.h"
#include "platform/SocketOptions.h"
#include "platform/TimerPrecision.h"
#include "record/DiagnosticLog.h"

namespace
{
bool operator==(const NetworkSetup::Network& a, const NetworkSetup::Network& b)
{
    return a.address == b.address && a.broadcastAddress == b.broadcastAddress;
}

juce::String describe(const NetworkSetup::Network& n)
{
    return n.address + " to " + n.broadcastAddress;
}
} // namespace

Broadcast::Broadcast(const NetworkSetup& s, std::unique_ptr<InterfaceQuery> q, int gapMs)
    : juce::Thread("KVR516_UPDATE"), setup(s), query(std::move(q)), lineGapMs(gapMs)
{
}

Broadcast::~Broadcast()
{
    // run looks at the stop request between cycles, and no send waits, so it
    // returns at once; the thread is never killed.
    stopThread(-1);
    sockets.clear(); // each DatagramSocket closes its handle once
}

void Broadcast::makeDatagram(const juce::String& address,
                             unsigned char (&out)[Protocol::datagramSize])
{
    out[0] = static_cast<unsigned char>(Protocol::datagramLead >> 8);
    out[1] = static_cast<unsigned char>(Protocol::datagramLead & 0xFF);
    out[2] = static_cast<unsigned char>(Protocol::listenerPort >> 8);
    out[3] = static_cast<unsigned char>(Protocol::listenerPort & 0xFF);
    const juce::IPAddress a(address); // dotted decimal: its four numbers in order
    for (int i = 0; i < 4; ++i)
        out[4 + i] = a.address[i];
}

// One socket for a network: bound to the port when it is free (no address
// reuse, so only one socket at a time gets it; the others send from a port the
// system picks), broadcasts allowed, 64 KiB buffers, sends that never wait (a
// full buffer fails the send), its destination resolved.
Broadcast::Target Broadcast::makeTarget(const NetworkSetup::Network& network)
{
    Target target;
    target.network = network;
    makeDatagram(network.address, target.datagram);
    auto socket = std::make_unique<juce::DatagramSocket>(true);

    const int handle = socket->getRawSocketHandle();
    using Option = SocketOptions::Option;
    const bool ready = handle >= 0 && SocketOptions::set(handle, Option::reuseAddress, 0) &&
                       SocketOptions::set(handle, Option::broadcast, 1) &&
                       SocketOptions::set(handle, Option::receiveBufferSize, 65536) &&
                       SocketOptions::set(handle, Option::sendBufferSize, 65536) &&
                       SocketOptions::makeNonBlocking(handle);
    if (ready)
        socket->bindToPort(Protocol::broadcastPort); // a failure is silent

    if (ready && DatagramDestination::resolves(network.broadcastAddress, Protocol::broadcastPort))
        target.socket = std::move(socket);
    return target;
}

bool Broadcast::follow(const std::vector<NetworkSetup::Network>& networks, bool first)
{
    std::vector<Target> next(networks.size());
    std::vector<bool> kept(networks.size(), false);
    for (auto& target : sockets)
    {
        bool listed = false;
        for (std::size_t i = 0; i < networks.size() && !listed; ++i)
            if (!kept[i] && target.network == networks[i])
            {
                next[i] = std::move(target);
                kept[i] = listed = true;
            }
        if (!listed)
            note(target.network,
                 "no longer announcing on " + describe(target.network) + ": the network is gone");
    }
    // The sockets of the networks that went away are closed first, so that a
    // new network may get the port one of them held.
    sockets.clear();

    // A network still listed whose socket could not be made (a passing lack
    // of descriptors or buffers) is tried again; that it still cannot be is no
    // change.
    for (std::size_t i = 0; i < networks.size(); ++i)
    {
        if (kept[i] && next[i].socket != nullptr)
            continue;
        const bool triedBefore = kept[i];
        next[i] = makeTarget(networks[i]);
        if (next[i].socket == nullptr)
        {
            if (first)
            {
                sockets = std::move(next);
                return false;
            }
            if (!triedBefore)
                note(networks[i], "cannot announce on " + describe(networks[i]) + ": " +
                                      SocketError::lastText() + " (tried again twice a second)");
        }
        else if (!first)
        {
            note(networks[i], "announcing on " + describe(networks[i]) + " from now on");
        }
    }
    sockets = std::move(next);

    juce::StringArray now;
    for (const auto& target : sockets)
        if (target.socket != nullptr)
            now.add(target.network.address);
    const std::lock_guard<std::mutex> lock(announcedLock);
    announced = now;
    onNoNetwork = sockets.empty();
    return true;
}

juce::StringArray Broadcast::getAnnouncedAddresses() const
{
    const std::lock_guard<std::mutex> lock(announcedLock);
    return announced;
}

bool Broadcast::isOnNoNetwork() const
{
    const std::lock_guard<std::mutex> lock(announcedLock);
    return onNoNetwork;
}

// Whatever is thrown out of the work (no memory, a system library's failure)
// ends it with the code of where it came: setting up, or announcing.
void Broadcast::run()
{
    Status outcome = Status::running;
    try
    {
        outcome = announceUntilStopped();
    }
    catch (...)
    {
        DiagnosticLog::thrown(settingUp ? "setting up the announcing" : "announcing");
        outcome = settingUp ? Status::setupFailed : Status::sendFailed;
    }
    finish(outcome);
}

Broadcast::Status Broadcast::announceUntilStopped()
{
    // The 100 ms pause ends when it is due rather than whenever the system's
    // timers get round to it, so the cycle is the pause plus the sends.
    const TimerPrecision precision(*this);

    std::vector<NetworkSetup::Network> networks;
    for (int i = 0; i < setup.getNumAddresses(); ++i)
        networks.push_back({setup.getAddress(i), setup.getBroadcastAddress(i)});
    if (!follow(networks, true))
        return Status::setupFailed;
    settingUp = false;

    juce::StringArray announced;
    for (const auto& n : networks)
        announced.add(describe(n));
    DiagnosticLog::line("announcing on " + announced.joinIntoString(", ") + " (UDP port " +
                        juce::String(Protocol::broadcastPort) + ")");

    double listedAt = juce::Time::getMillisecondCounterHiRes();
    double noneSaidAt = -lineGapMs; // when the log last said that no network is listed
    int unreached = 0;
    while (!threadShouldExit())
    {
        // A list that cannot be taken leaves the networks as they were.
        if (juce::Time::getMillisecondCounterHiRes() - listedAt >= relistMs)
        {
            listedAt = juce::Time::getMillisecondCounterHiRes();
            const bool noneBefore = sockets.empty();
            const NetworkSetup::Result listed = NetworkSetup::listNetworks(*query, networks);
            if (listed == NetworkSetup::Result::ok || listed == NetworkSetup::Result::onlyLoopback)
                follow(networks, false);
            if (sockets.empty() && !noneBefore && listedAt - noneSaidAt >= lineGapMs)
            {
                DiagnosticLog::line("no network is listed but loopback: waiting for one");
                noneSaidAt = listedAt;
            }
            catchUp();
        }

        // Only a cycle in which networks are listed and not one of them took
        // its datagram counts towards the failure. With nothing listed but
        // loopback (the cable moved from another network to the mixer's, an
        // address still to come from DHCP or link-local) nothing was refused:
        // the computer waits for a network, and the count starts again.
        const bool sent = announce();
        unreached = sent || sockets.empty() ? 0 : unreached + 1;
        if (unreached >= unreachedCyclesLimit)
        {
            catchUp(true);
            DiagnosticLog::line("not one announcement could be sent for " +
                                juce::String(unreachedCyclesLimit) +
                                " cycles in a row: no network listed could be reached");
            return Status::sendFailed;
        }
        wait(Protocol::announcementIntervalMs);
    }

    catchUp(true);
    return Status::stopped;
}

bool Broadcast::announce()
{
    bool sent = false;
    for (auto& target : sockets)
    {
        if (target.socket == nullptr)
            continue;
        if (target.socket->write(target.network.broadcastAddress, Protocol::broadcastPort,
                                 target.datagram, Protocol::datagramSize) == Protocol::datagramSize)
        {
            sent = true;
            continue;
        }
        // Once per network: a network that stays down would fill the log.
        if (!target.failedBefore)
            note(target.network, "announcing to " + target.network.broadcastAddress +
                                     " failed: " + SocketError::lastText() +
                                     " (skipped, tried again every cycle)");
        target.failedBefore = true;
    }
    return sent;
}

namespace
{
juce::String leftOutText(int count)
{
    return " (" + juce::String(count) + (count == 1 ? " change" : " changes") +
           " of this network since the last line about it left out)";
}
} // namespace

void Broadcast::note(const NetworkSetup::Network& network, const juce::String& text)
{
    const double now = juce::Time::getMillisecondCounterHiRes();
    Said& s = said[describe(network)];
    if (s.at != 0 && now - s.at < lineGapMs)
    {
        ++s.leftOut;
        return;
    }
    DiagnosticLog::line(s.leftOut == 0 ? text : text + leftOutText(s.leftOut));
    s = {now, 0};
}

void Broadcast::catchUp(bool ending)
{
    const double now = juce::Time::getMillisecondCounterHiRes();
    for (auto it = said.begin(); it != said.end();)
    {
        Said& s = it->second;
        if (!ending && now - s.at < lineGapMs)
        {
            ++it;
            continue;
        }
        if (s.leftOut == 0)
        {
            it = said.erase(it); // as if nothing had been said: the next change is written
            continue;
        }
        juce::String state = "no longer announcing on " + it->first + ": the network is gone";
        for (const auto& target : sockets)
            if (describe(target.network) == it->first)
                state = (target.socket != nullptr ? "announcing on " : "cannot announce on ") +
                        it->first;
        DiagnosticLog::line(state + leftOutText(s.leftOut));
        s = {now, 0};
        ++it;
    }
}
