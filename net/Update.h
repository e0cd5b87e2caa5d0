// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

#include <atomic>

// Streams the update file to the mixer over its connection: the file's size as
// a 4-byte big-endian number, then the file's bytes in pieces of at most 1024
// bytes, one write each, with a 1 ms pause after each piece. Nothing is read back.
class Update : public juce::Thread
{
public:
    // Status values.
    enum
    {
        running = -1,
        done = 0, // the whole file went out, or the thread was asked to stop
        noFile = 1,
        lengthFailed = 2,
        contentFailed = 3
    };

    static constexpr int pieceSize = 1024;

    // The file beside the running program; socket is not owned and never closed.
    explicit Update(juce::StreamingSocket* socket);

    // The file beside programFile.
    Update(juce::StreamingSocket* socket, const juce::File& programFile);

    // Stops the thread (at most 100 ms); the socket stays open.
    ~Update() override;

    int getStatus() const noexcept { return status.load(std::memory_order_acquire); }

    void run() override;

private:
    enum class Sent
    {
        all,
        failed,
        stopped
    };

    int transfer();
    Sent sendAll(const void* data, int size);
    void finish(int value) { status.store(value, std::memory_order_release); }

    std::atomic<int> status{running};
    juce::int64 bytesSent = 0; // handed to the connection, by this thread only
    juce::StreamingSocket* const socket;
    const juce::File programFile;
};
