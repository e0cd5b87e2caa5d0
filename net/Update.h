// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "net/Protocol.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <cstdint>

// Streams the update file to the mixer over its connection: the file's size as
// a 4-byte big-endian number, then the file's bytes in pieces of at most 1024
// bytes, one write each, with a 1 ms pause after each piece. Nothing is read back.
class Update : public juce::Thread
{
public:
    // The values 1 to 3 are the codes the user sees (S1 to S3).
    enum class Status : std::int32_t
    {
        stopped = -2, // asked to stop before the whole file went out (shown as the cancel)
        running = -1,
        done = 0, // the whole file went out
        noFile = 1,
        lengthFailed = 2,
        contentFailed = 3
    };

    static constexpr int pieceSize = Protocol::pieceSize;

    // The file beside the running program; socket is not owned and never closed.
    explicit Update(juce::StreamingSocket* socket);

    // The file beside programFile.
    Update(juce::StreamingSocket* socket, const juce::File& programFile);

    // Stops the thread, which returns within a few milliseconds unless a file
    // read holds it (owners that cannot wait use ThreadRelease); the socket
    // stays open.
    ~Update() override;

    Status getStatus() const noexcept { return status.load(std::memory_order_acquire); }

    void run() override;

private:
    enum class Sent
    {
        all,
        failed,
        stopped
    };

    Status transfer();
    Sent sendAll(const void* data, int size);
    void finish(Status value) { status.store(value, std::memory_order_release); }

    std::atomic<Status> status{Status::running};
    juce::int64 bytesSent = 0; // handed to the connection, by this thread only
    juce::StreamingSocket* const socket;
    const juce::File programFile;
};
