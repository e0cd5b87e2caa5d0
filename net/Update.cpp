// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/Update.h"

#include "net/UpdateFile.h"
#include "platform/TimerPrecision.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// How long one wait for room in the socket's send buffer lasts before the
// stop request is looked at again.
constexpr int writableSliceMs = 10;

// The pause after each piece, from the end of its write to the next write.
constexpr std::chrono::milliseconds pauseAfterPiece{1};

class OpenFile
{
public:
    explicit OpenFile(const juce::File& file)
        : fd(::open(file.getFullPathName().toRawUTF8(), O_RDONLY | O_CLOEXEC))
    {
    }
    ~OpenFile()
    {
        if (fd >= 0)
            ::close(fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    // The size of a regular file, or -1.
    juce::int64 regularFileSize() const
    {
        struct stat info
        {
        };
        if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
            return -1;
        return static_cast<juce::int64>(info.st_size);
    }

    // Reads exactly size bytes; false when the file ends first or cannot be read.
    bool readExactly(char* into, int size)
    {
        while (size > 0)
        {
            const ssize_t n = ::read(fd, into, static_cast<size_t>(size));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            into += n;
            size -= static_cast<int>(n);
        }
        return true;
    }

private:
    const int fd;
};
} // namespace

Update::Update(juce::StreamingSocket* s) : Update(s, UpdateFile::thisProgram()) {}

Update::Update(juce::StreamingSocket* s, const juce::File& program)
    : juce::Thread("KVR516_UPDATE"), socket(s), programFile(program)
{
}

Update::~Update()
{
    // run looks at the stop request at least every 10 ms, also while a peer that
    // does not read keeps a write waiting, so it returns well within this.
    stopThread(100);
}

void Update::run()
{
    finish(transfer());
}

// The size is taken once, from the open file, and the tag is checked in the
// very bytes that are then sent; exactly size bytes follow the length.
int Update::transfer()
{
    const juce::File file = UpdateFile::besideProgram(programFile);
    if (!file.existsAsFile())
        return noFile;

    OpenFile in(file);
    const juce::int64 size = in.regularFileSize();
    if (size < UpdateFile::tagSize || size > UpdateFile::maxSize)
        return noFile;

    char piece[pieceSize];
    if (!in.readExactly(piece, UpdateFile::tagSize) || !UpdateFile::isTag(piece))
        return noFile;

    const auto size32 = static_cast<std::uint32_t>(size);
    const unsigned char length[4] = {
        static_cast<unsigned char>(size32 >> 24), static_cast<unsigned char>(size32 >> 16),
        static_cast<unsigned char>(size32 >> 8), static_cast<unsigned char>(size32)};
    switch (sendAll(length, 4))
    {
    case Sent::all:
        break;
    case Sent::failed:
        return lengthFailed;
    case Sent::stopped:
        return done;
    }

    // The transfer's speed is set by how precisely each pause ends: a wake-up
    // 60 us late on every piece makes it 6 % slower than its pacing.
    TimerPrecision pacing(*this);

    juce::int64 left = size;
    int inPiece = UpdateFile::tagSize; // the tag already read starts the first piece
    while (left > 0)
    {
        if (threadShouldExit())
            return done;

        const int n = static_cast<int>(juce::jmin<juce::int64>(pieceSize, left));
        if (!in.readExactly(piece + inPiece, n - inPiece))
            return contentFailed; // fewer bytes than announced
        inPiece = 0;

        switch (sendAll(piece, n))
        {
        case Sent::all:
            break;
        case Sent::failed:
            return contentFailed;
        case Sent::stopped:
            return done;
        }
        left -= n;

        // At least the whole pause, never less; a stop request cuts it short.
        pacing.waitUntil(TimerPrecision::Clock::now() + pauseAfterPiece);
    }
    return done;
}

// Hands all size bytes to the socket. A write that hands over fewer is followed
// by the rest; while the peer's window is full the stop request is looked at
// every few milliseconds. A reset connection gives an error, never a signal.
Update::Sent Update::sendAll(const void* data, int size)
{
    const int handle =
        socket != nullptr && socket->isConnected() ? socket->getRawSocketHandle() : -1;
    if (handle < 0)
        return Sent::failed;

    auto* from = static_cast<const char*>(data);
    while (size > 0)
    {
        const ssize_t n =
            ::send(handle, from, static_cast<size_t>(size), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0)
        {
            from += n;
            size -= static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return Sent::failed;

        for (;;)
        {
            if (threadShouldExit())
                return Sent::stopped;
            pollfd fd{handle, POLLOUT, 0};
            const int ready = ::poll(&fd, 1, writableSliceMs);
            if (ready > 0)
                break;
            if (ready < 0 && errno != EINTR)
                return Sent::failed;
        }
    }
    return Sent::all;
}
