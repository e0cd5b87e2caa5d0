// KVR516_UPDATE, GPL-3.0-or-later.
#include "MixerPeer.h"

#include <juce_core/juce_core.h>

MixerPeer::MixerPeer(const NetNamespace& ns)
    : thread([this, &ns] { ns.runInside([this] { play(); }); })
{
}

MixerPeer::~MixerPeer()
{
    finish = true;
    thread.join();
}

std::vector<std::uint8_t> MixerPeer::datagram() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return firstDatagram;
}

std::vector<std::uint8_t> MixerPeer::received() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return stream;
}

void MixerPeer::play()
{
    juce::DatagramSocket udp(false);
    if (!udp.bindToPort(56000))
        return;

    // The program announces itself before it listens: as a mixer does, keep
    // listening and try again at the next datagram until a connection holds.
    juce::StreamingSocket tcp;
    while (!finish && !isConnected)
    {
        std::uint8_t packet[64] = {};
        if (udp.waitUntilReady(true, 50) != 1)
            continue;
        const int n = udp.read(packet, sizeof(packet), false);
        if (n <= 0)
            continue;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (firstDatagram.empty())
                firstDatagram.assign(packet, packet + n);
        }
        if (n != 8)
            return;

        const int port = packet[2] << 8 | packet[3];
        const juce::String address = juce::String(packet[4]) + "." + juce::String(packet[5]) + "." +
                                     juce::String(packet[6]) + "." + juce::String(packet[7]);
        if (tcp.connect(address, port, 5000))
            isConnected = true;
    }
    if (!isConnected)
        return;

    std::uint64_t expected = 0;
    std::uint8_t block[65536];
    while (!finish)
    {
        const int ready = tcp.waitUntilReady(true, 50);
        if (ready < 0)
            break;
        if (ready == 0)
            continue;

        const int got = tcp.read(block, sizeof(block), false);
        if (got <= 0)
        {
            isClosed = true;
            break;
        }

        std::lock_guard<std::mutex> lock(mutex);
        stream.insert(stream.end(), block, block + got);
        if (stream.size() >= 4)
        {
            expected = 4 + (std::uint64_t(stream[0]) << 24 | std::uint64_t(stream[1]) << 16 |
                            std::uint64_t(stream[2]) << 8 | std::uint64_t(stream[3]));
            if (stream.size() >= expected)
                isComplete = true;
        }
    }
}
