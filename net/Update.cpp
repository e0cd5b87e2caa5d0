// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/Update.h"

#include "platform/OpenFile.h"
#include "platform/Sha256.h"
#include "platform/SocketWrite.h"
#include "platform/TimerPrecision.h"
#include "record/DiagnosticLog.h"

namespace
{
// How long one wait for room in the socket's send buffer lasts before the
// stop request is looked at again.
constexpr int writableSliceMs = 10;

constexpr std::chrono::milliseconds pauseAfterPiece{Protocol::pauseAfterPieceMs};

double millisecondsSince(double start)
{
    return juce::Time::getMillisecondCounterHiRes() - start;
}
} // namespace

Update::Update(std::shared_ptr<juce::StreamingSocket> s, const juce::File& program,
               const UpdateFile::Measure& measured, const juce::String& linePrefix)
    : juce::Thread("KVR516_UPDATE"), socket(std::move(s)), programFile(program), checked(measured),
      logPrefix(linePrefix), delivery(socket != nullptr ? socket->getRawSocketHandle() : -1)
{
}

Update::Update(juce::StreamingSocket* s, const juce::File& program,
               const UpdateFile::Measure& measured)
    : Update(std::shared_ptr<juce::StreamingSocket>(s, [](juce::StreamingSocket*) {}), program,
             measured)
{
}

void Update::log(const juce::String& text) const
{
    DiagnosticLog::line(logPrefix + text);
}

Update::~Update()
{
    // run looks at the stop request at least every 10 ms, also while a peer that
    // does not read keeps a write waiting; the thread is never killed.
    stopThread(-1);
}

// Whatever is thrown out of the transfer (no memory, a system library's
// failure) ends it as a file not sent when nothing went out yet, otherwise as
// a transfer that broke off.
void Update::run()
{
    Status outcome = Status::running;
    try
    {
        const double started = juce::Time::getMillisecondCounterHiRes();
        outcome = transfer();
        log("sent " + juce::String(bytesSent.load()) + " bytes (length and file) in " +
            juce::String(juce::roundToInt(millisecondsSince(started))) + " ms");
    }
    catch (...)
    {
        DiagnosticLog::thrown("sending the update file");
        if (outcome == Status::running)
            outcome = bytesSent.load() > 0 ? Status::contentFailed : Status::noFile;
    }
    finish(outcome);
}

// The size is taken once, from the open file, and must be the size checked;
// the tag is checked in the very bytes that are then sent, and exactly size
// bytes follow the length. Each piece is read, added to the SHA-256 and sent;
// the last one goes out only once the SHA-256 of every byte read is the one
// the check measured, so the mixer never holds a stream as long as its length
// of other bytes.
Update::Status Update::transfer()
{
    const juce::File file = UpdateFile::besideProgram(programFile);
    OpenFile in(file);
    const juce::int64 size = in.regularFileSize();
    if (size < 0)
    {
        log("update file " + file.getFullPathName() + " cannot be opened: " + in.whyNotOpened());
        return Status::noFile;
    }
    if (size < Protocol::tagSize || size > UpdateFile::maxSize || size != checked.size)
    {
        log("update file is " + juce::String(size) + " bytes, " + juce::String(checked.size) +
            " when checked: not sent");
        return Status::noFile;
    }

    const auto size32 = static_cast<std::uint32_t>(size);
    const unsigned char length[Protocol::lengthSize] = {
        static_cast<unsigned char>(size32 >> 24), static_cast<unsigned char>(size32 >> 16),
        static_cast<unsigned char>(size32 >> 8), static_cast<unsigned char>(size32)};

    // The transfer's speed is set by how precisely each pause ends: a wake-up
    // 60 us late on every piece makes it 6 % slower than its pacing. Between
    // two writes the thread only waits: the next piece is read during the pause.
    TimerPrecision pacing(*this);
    auto pauseEnds = TimerPrecision::Clock::now();
    double lengthAt = 0;
    Sha256 hash;
    char piece[Protocol::pieceSize];
    // Without the system's SHA-256 the bytes cannot be shown to be those
    // checked: not even the length is sent, and a failure later keeps the
    // last piece back, as for a file that changed.
    const auto hashFailed = [this, &hash]
    {
        log("the system's SHA-256 failed (" + hash.failure() +
            "): the update file is not sent as checked");
        return Status::noFile;
    };
    if (hash.failure().isNotEmpty())
        return hashFailed();

    for (juce::int64 left = size; left > 0;)
    {
        const int n = static_cast<int>(std::min<juce::int64>(left, Protocol::pieceSize));
        if (!in.readExactly(piece, n))
        {
            log("the update file ended " + juce::String(left) +
                " bytes early: it changed after it was checked");
            return Status::contentFailed;
        }
        if (!hash.add(piece, static_cast<std::size_t>(n)))
            return hashFailed();

        if (left == size)
        {
            if (!UpdateFile::isTag(piece))
                return Status::noFile;
            lengthAt = juce::Time::getMillisecondCounterHiRes();
            if (const Sent sent = sendAll(length, Protocol::lengthSize); sent != Sent::all)
                return sent == Sent::failed ? Status::lengthFailed : Status::stopped;
        }
        left -= n;
        if (left == 0)
        {
            const std::optional<Sha256::Digest> read = hash.finish();
            if (!read)
                return hashFailed();
            if (!isChecked(*read))
                return Status::noFile;
        }

        // At least the whole pause from the end of the last write, never
        // less; a stop request cuts it short, and nothing is sent then.
        pacing.waitUntil(pauseEnds);
        if (const Sent sent = sendAll(piece, n); sent != Sent::all)
            return sent == Sent::failed ? Status::contentFailed : Status::stopped;
        pauseEnds = TimerPrecision::Clock::now() + pauseAfterPiece;
    }
    pacing.waitUntil(pauseEnds);

    return awaitAcknowledgement(lengthAt);
}

bool Update::isChecked(const Sha256::Digest& read) const
{
    log("SHA-256 of the bytes read " + Sha256::hex(read) + ", of the file checked " +
        Sha256::hex(checked.hash));
    if (read == checked.hash)
        return true;
    log("the update file changed after it was checked: its last piece is not sent");
    return false;
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
            bytesSent.store(bytesSent.load(std::memory_order_relaxed) + n,
                            std::memory_order_relaxed);
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

// Waits until the mixer's TCP stack has acknowledged every byte written, as
// long as it takes: a mixer that went away mid-transfer (power, cable) leaves
// the wait to the user's Cancel, or to the system when it gives up on the
// connection (which then counts as broken), never to a timer of this program.
// Nothing more goes on the wire. Where the system cannot tell, the bytes
// handed to the connection are taken as delivered, and the log says so.
Update::Status Update::awaitAcknowledgement(double lengthAt)
{
    for (;;)
    {
        switch (delivery.poll(written()))
        {
        case DeliveryWatch::State::all:
            log("the mixer acknowledged the last byte " +
                juce::String(juce::roundToInt(millisecondsSince(lengthAt))) +
                " ms after the length was written");
            deliveryMs = millisecondsSince(lengthAt);
            confirmed = true;
            return Status::done;
        case DeliveryWatch::State::failed:
            log("the connection broke, or this system stopped telling, before the "
                "mixer acknowledged every byte");
            return Status::contentFailed;
        case DeliveryWatch::State::unknown:
            log("this system does not tell whether the mixer acknowledged every "
                "byte: the transfer counts as done once the last byte was written");
            deliveryMs = millisecondsSince(lengthAt);
            return Status::done;
        case DeliveryWatch::State::pending:
            break;
        }
        if (threadShouldExit())
            return Status::stopped;
        wait(acknowledgementPollMs);
    }
}
