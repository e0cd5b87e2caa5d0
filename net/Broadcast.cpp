// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/Broadcast.h"

#include "platform/TimerPrecision.h"

#include <arpa/inet.h>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>

namespace
{
bool setIntOption(int handle, int option, int value)
{
    return ::setsockopt(handle, SOL_SOCKET, option, &value, sizeof(value)) == 0;
}

// True when text resolves to a datagram destination, as each send resolves it.
bool resolves(const juce::String& text, int port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* info = nullptr;
    if (::getaddrinfo(text.toRawUTF8(), juce::String(port).toRawUTF8(), &hints, &info) != 0)
        return false;
    ::freeaddrinfo(info);
    return true;
}
} // namespace

Broadcast::Broadcast(const NetworkSetup& s) : juce::Thread("KVR516_UPDATE"), setup(s) {}

Broadcast::~Broadcast()
{
    // run returns within one send of a stop request, so it never overruns this.
    stopThread(100);
    sockets.clear(); // each DatagramSocket closes its handle once
}

void Broadcast::makeDatagram(const juce::String& address, unsigned char (&out)[datagramSize])
{
    out[0] = 0x20; // 8192, big-endian
    out[1] = 0x00;
    out[2] = static_cast<unsigned char>(listenerPort >> 8);
    out[3] = static_cast<unsigned char>(listenerPort & 0xFF);
    const in_addr_t a = ::inet_addr(address.toRawUTF8()); // network byte order
    std::memcpy(out + 4, &a, 4);
}

// One socket for interface index: bound to the port when it is free (no address
// reuse, so only the first socket gets it; the others send from a port the system
// picks), broadcasts allowed, 64 KiB buffers, its destination resolved.
bool Broadcast::addTarget(int index)
{
    Target target;
    target.socket = std::make_unique<juce::DatagramSocket>(true);
    target.destination = setup.getBroadcastAddress(index);
    makeDatagram(setup.getAddress(index), target.datagram);

    const int handle = target.socket->getRawSocketHandle();
    const bool ready = handle >= 0 && setIntOption(handle, SO_REUSEADDR, 0) &&
                       setIntOption(handle, SO_BROADCAST, 1) &&
                       setIntOption(handle, SO_RCVBUF, 65536) &&
                       setIntOption(handle, SO_SNDBUF, 65536);
    if (ready)
        target.socket->bindToPort(port); // a failure is silent

    sockets.push_back(std::move(target));
    if (ready && resolves(sockets.back().destination, port))
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
            finish(setupFailed);
            return;
        }
    }

    while (!threadShouldExit())
    {
        for (auto& target : sockets)
        {
            if (target.socket->write(target.destination, port, target.datagram, datagramSize) !=
                datagramSize)
            {
                finish(sendFailed);
                return;
            }
        }
        wait(cycleMs);
    }

    finish(stopped);
}
