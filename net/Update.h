// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "net/DeliveryWatch.h"
#include "net/Protocol.h"
#include "net/UpdateFile.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <cstdint>
#include <memory>

// Streams the update file to the mixer over its connection: the file's size as
// a 4-byte big-endian number, then the file's bytes in pieces of at most 1024
// bytes, one write each, with a 1 ms pause after each piece. Nothing is read
// back. The bytes sent must be the bytes the check measured (their SHA-256),
// and the transfer has succeeded only once the mixer's TCP stack has
// acknowledged every one of them.
class Update : public juce::Thread
{
public:
    // The values 1 to 3 are the codes the user sees (S1 to S3).
    enum class Status : std::int32_t
    {
        stopped = -2, // asked to stop before the mixer had the whole file (shown as the cancel)
        running = -1,
        done = 0,         // the mixer has acknowledged the length and the whole file
        noFile = 1,       // no file, or not the one checked (before or while it was sent),
                          // or the system's SHA-256 failed so that it cannot be told
        lengthFailed = 2, // the length could not be written
        contentFailed = 3 // a piece could not be written, the file shrank, or the
                          // connection broke before every byte was acknowledged
    };

    // How often the wait for the last acknowledgement looks again.
    static constexpr int acknowledgementPollMs = 5;

    // The file beside programFile, which the check found as checked. The
    // thread shares socket with its owner and never closes it: the connection
    // is closed once the last of them lets go, so a thread that was given up
    // (ThreadRelease) never writes to a closed connection, and holds it only
    // until it is deleted.
    // linePrefix ("mixer 198.51.100.21: "), when given, begins each of its
    // diagnostic lines, so that those of several mixers sent to at once can
    // be told apart.
    Update(std::shared_ptr<juce::StreamingSocket> socket, const juce::File& programFile,
           const UpdateFile::Measure& checked, const juce::String& linePrefix = {});
    // As above, with a socket that is not owned and never closed.
    Update(juce::StreamingSocket* socket, const juce::File& programFile,
           const UpdateFile::Measure& checked);

    // Stops the thread, which returns within a few milliseconds unless a file
    // read holds it (owners that cannot wait use ThreadRelease); the socket
    // stays open.
    ~Update() override;

    Status getStatus() const noexcept { return status.load(std::memory_order_acquire); }
    // Once the status is done: false where the system could not tell whether
    // the mixer acknowledged the last bytes (they were handed to the
    // connection, no more is known).
    bool isConfirmed() const noexcept { return confirmed; }
    // Once the status is done: milliseconds from the write of the length to
    // the mixer's acknowledgement of the last byte (unconfirmed: to the write
    // of the last byte).
    double getDeliveryMs() const noexcept { return deliveryMs; }

    // The bytes handed to the connection so far, the length's included.
    juce::int64 getBytesWritten() const noexcept
    {
        return bytesSent.load(std::memory_order_relaxed);
    }
    // What the mixer has acknowledged of the bytes handed to the connection
    // (getBytesWritten), read now, for the progress figure; from any thread.
    DeliveryWatch::Progress readDelivery() { return delivery.progress(written()); }

    void run() override;

private:
    enum class Sent
    {
        all,
        failed,
        stopped
    };

    Status transfer();
    void log(const juce::String& text) const;
    // Whether read, the SHA-256 of every byte read, is the one checked; the
    // log says both.
    bool isChecked(const Sha256::Digest& read) const;
    Sent sendAll(const void* data, int size);
    // The outcome once every byte is written; lengthAt: when the length was
    // (Time::getMillisecondCounterHiRes).
    Status awaitAcknowledgement(double lengthAt);
    void finish(Status value) { status.store(value, std::memory_order_release); }
    std::uint64_t written() const noexcept
    {
        return static_cast<std::uint64_t>(bytesSent.load(std::memory_order_relaxed));
    }

    std::atomic<Status> status{Status::running};
    // Handed to the connection (the length's bytes included); written by
    // this thread only, read by others for the progress figure.
    std::atomic<juce::int64> bytesSent{0};
    bool confirmed = false; // written before the status is published
    double deliveryMs = 0;  // written before the status is published
    const std::shared_ptr<juce::StreamingSocket> socket;
    const juce::File programFile;
    const UpdateFile::Measure checked;
    const juce::String logPrefix;
    // The connection's one watch: the progress readings and the final wait
    // share what its first reading decided.
    DeliveryWatch delivery;
};
