// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/Update.h"

#include "net/DiagnosticLog.h"
#include "net/UpdateFile.h"
#include "platform/OpenFile.h"
#include "platform/SocketWrite.h"
#include "platform/TimerPrecision.h"

namespace
{
// How long one wait for room in the socket's send buffer lasts before the
// stop request is looked at again.
constexpr int writableSliceMs = 10;

// The pause after each piece, from the end of its write to the next write.
constexpr std::chrono::milliseconds pauseAfterPiece{1};
} // namespace

Update::Update(juce::StreamingSocket* s) : Update(s, UpdateFile::thisProgram()) {}

Update::Update(juce::StreamingSocket* s, const juce::File& program)
    : juce::Thread("KVR516_UPDATE"), socket(s), programFile(program)
{
}

Update::~Update()
{
    // run looks at the stop request at least every 10 ms, also while a peer that
    // does not read keeps a write waiting; the thread is never killed.
    stopThread(-1);
}

void Update::run()
{
    const double started = juce::Time::getMillisecondCounterHiRes();
    const Status outcome = transfer();
    DiagnosticLog::line("sent " + juce::String(bytesSent) + " bytes (length and file) in " +
                        juce::String(juce::Time::getMillisecondCounterHiRes() - started, 0) +
                        " ms");
    finish(outcome);
}

// The size is taken once, from the open file, and the tag is checked in the
// very bytes that are then sent; exactly size bytes follow the length.
Update::Status Update::transfer()
{
    const juce::File file = UpdateFile::besideProgram(programFile);
    if (!file.existsAsFile())
        return Status::noFile;

    OpenFile in(file);
    const juce::int64 size = in.regularFileSize();
    if (size < UpdateFile::tagSize || size > UpdateFile::maxSize)
        return Status::noFile;

    char piece[pieceSize];
    if (!in.readExactly(piece, UpdateFile::tagSize) || !UpdateFile::isTag(piece))
        return Status::noFile;

    const auto size32 = static_cast<std::uint32_t>(size);
    const unsigned char length[4] = {
        static_cast<unsigned char>(size32 >> 24), static_cast<unsigned char>(size32 >> 16),
        static_cast<unsigned char>(size32 >> 8), static_cast<unsigned char>(size32)};
    switch (sendAll(length, 4))
    {
    case Sent::all:
        break;
    case Sent::failed:
        return Status::lengthFailed;
    case Sent::stopped:
        return Status::stopped;
    }

    // The transfer's speed is set by how precisely each pause ends: a wake-up
    // 60 us late on every piece makes it 6 % slower than its pacing. Between
    // two writes the thread only waits: the next piece is read during the pause.
    TimerPrecision pacing(*this);

    juce::int64 left = size;
    int n = static_cast<int>(juce::jmin<juce::int64>(pieceSize, left));
    // The tag already read starts the first piece.
    if (!in.readExactly(piece + UpdateFile::tagSize, n - UpdateFile::tagSize))
        return Status::contentFailed; // fewer bytes than announced
    for (;;)
    {
        switch (sendAll(piece, n)) // stopped: before the piece, when asked to stop
        {
        case Sent::all:
            break;
        case Sent::failed:
            return Status::contentFailed;
        case Sent::stopped:
            return Status::stopped;
        }
        // At least the whole pause from the end of the write, never less; a
        // stop request cuts it short.
        const auto pauseEnds = TimerPrecision::Clock::now() + pauseAfterPiece;
        left -= n;
        n = static_cast<int>(juce::jmin<juce::int64>(pieceSize, left));
        if (n > 0 && !in.readExactly(piece, n))
            return Status::contentFailed;
        pacing.waitUntil(pauseEnds);
        if (n == 0)
            break;
    }
    return Status::done;
}

// Hands all size bytes to the socket. A write that hands over fewer is followed
// by the rest; while the peer's window is full the stop request is looked at
// every few milliseconds. A reset connection gives an error, never a signal.
// Nothing is written once a stop has been asked for: a thread its owner has
// given up on (a file read that stalled) never touches the connection again.
Update::Sent Update::sendAll(const void* data, int size)
{
    if (threadShouldExit())
        return Sent::stopped;

    const int handle =
        socket != nullptr && socket->isConnected() ? socket->getRawSocketHandle() : -1;
    if (handle < 0)
        return Sent::failed;

    auto* from = static_cast<const char*>(data);
    while (size > 0)
    {
        const int n = SocketWrite::write(handle, from, size);
        if (n > 0)
        {
            bytesSent += n;
            from += n;
            size -= n;
            continue;
        }
        if (n != SocketWrite::wouldBlock)
            return Sent::failed;

        for (;;)
        {
            if (threadShouldExit())
                return Sent::stopped;
            const SocketWrite::Room room = SocketWrite::waitForRoom(handle, writableSliceMs);
            if (room == SocketWrite::Room::ready)
                break;
            if (room == SocketWrite::Room::failed)
                return Sent::failed;
        }
    }
    return Sent::all;
}
