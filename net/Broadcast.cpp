// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/Broadcast.h"

#include "net/DiagnosticLog.h"
#include "platform/DatagramDestination.h"
#include "platform/SocketError.h"
#include "platform/SocketOptions.h"
#include "platform/TimerPrecision.h"

Broadcast::Broadcast(const NetworkSetup& s) : juce::Thread("KVR516_UPDATE"), setup(s) {}

Broadcast::~Broadcast()
{
    // run looks at the stop request between cycles, and no send waits, so it
    // returns at once; the thread is never killed.
    stopThread(-1);
    sockets.clear(); // each DatagramSocket closes its handle once
}

void Broadcast::makeDatagram(const juce::String& address, unsigned char (&out)[datagramSize])
{
    out[0] = static_cast<unsigned char>(Protocol::datagramLead >> 8);
    out[1] = static_cast<unsigned char>(Protocol::datagramLead & 0xFF);
    out[2] = static_cast<unsigned char>(listenerPort >> 8);
    out[3] = static_cast<unsigned char>(listenerPort & 0xFF);
    const juce::IPAddress a(address); // dotted decimal: its four numbers in order
    for (int i = 0; i < 4; ++i)
        out[4 + i] = a.address[i];
}

// One socket for interface index: bound to the port when it is free (no address
// reuse, so only the first socket gets it; the others send from a port the system
// picks), broadcasts allowed, 64 KiB buffers, sends that never wait (a full
// buffer fails the send), its destination resolved.
bool Broadcast::addTarget(int index)
{
    Target target;
    target.socket = std::make_unique<juce::DatagramSocket>(true);
    target.destination = setup.getBroadcastAddress(index);
    makeDatagram(setup.getAddress(index), target.datagram);

    const int handle = target.socket->getRawSocketHandle();
    using Option = SocketOptions::Option;
    const bool ready = handle >= 0 && SocketOptions::set(handle, Option::reuseAddress, 0) &&
                       SocketOptions::set(handle, Option::broadcast, 1) &&
                       SocketOptions::set(handle, Option::receiveBufferSize, 65536) &&
                       SocketOptions::set(handle, Option::sendBufferSize, 65536) &&
                       SocketOptions::makeNonBlocking(handle);
    if (ready)
        target.socket->bindToPort(port); // a failure is silent

    sockets.push_back(std::move(target));
    if (ready && DatagramDestination::resolves(sockets.back().destination, port))
        return true;

    sockets.back().socket->shutdown();
    return false;
}

void Broadcast::run()
{
    // The 100 ms pause ends when it is due rather than whenever the system's
    // timers get round to it, so the cycle is the pause plus the sends.
    const TimerPrecision precision(*this);

    for (int i = 0; i < setup.getNumAddresses(); ++i)
    {
        if (!addTarget(i))
        {
            finish(Status::setupFailed);
            return;
        }
    }

    juce::StringArray announced;
    for (int i = 0; i < setup.getNumAddresses(); ++i)
        announced.add(setup.getAddress(i) + " to " + setup.getBroadcastAddress(i));
    DiagnosticLog::line("announcing on " + announced.joinIntoString(", ") + " (UDP port " +
                        juce::String(port) + ")");

    while (!threadShouldExit())
    {
        if (!announce())
        {
            DiagnosticLog::line("announcing failed on every network");
            finish(Status::sendFailed);
            return;
        }
        wait(cycleMs);
    }

    finish(Status::stopped);
}

bool Broadcast::announce()
{
    bool anySent = sockets.empty(); // nothing to announce on is no failure
    for (auto& target : sockets)
    {
        if (target.socket->write(target.destination, port, target.datagram, datagramSize) ==
            datagramSize)
        {
            anySent = true;
            continue;
        }
        // Once per network: a network that stays down would fill the log.
        if (!target.failedBefore)
            DiagnosticLog::line("announcing to " + target.destination + " failed: " +
                                SocketError::lastText() + " (skipped, tried again every cycle)");
        target.failedBefore = true;
    }
    return anySent;
}
