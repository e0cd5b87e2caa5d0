// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "support/NetNamespace.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// Plays the mixer inside a network namespace of the test's own: it waits for
// one discovery datagram on UDP port 56000, connects to the address and port
// that it announces, and reads the update stream. It keeps the connection
// open and notes when the program closes it.
class MixerPeer
{
public:
    explicit MixerPeer(const NetNamespace& ns);
    ~MixerPeer();

    MixerPeer(const MixerPeer&) = delete;
    MixerPeer& operator=(const MixerPeer&) = delete;

    bool connected() const { return isConnected; }
    // The whole stream has arrived: the length and as many bytes as it gives.
    bool complete() const { return isComplete; }
    // The program closed the connection (end of stream seen).
    bool closedByProgram() const { return isClosed; }

    std::vector<std::uint8_t> datagram() const;
    // Everything read from the connection, the length field included.
    std::vector<std::uint8_t> received() const;

private:
    void play();

    std::atomic<bool> finish{false};
    std::atomic<bool> isConnected{false};
    std::atomic<bool> isComplete{false};
    std::atomic<bool> isClosed{false};

    mutable std::mutex mutex;
    std::vector<std::uint8_t> firstDatagram;
    std::vector<std::uint8_t> stream;

    // Last: it starts once everything it uses has been made.
    std::thread thread;
};
