// KVR516_UPDATE, GPL-3.0-or-later.
// Writes on a connected stream socket that never block and never raise a
// signal, on a connection over loopback.
#include "platform/SocketWrite.h"
#include "platform/Acknowledgement.h"

#include "LoopbackSockets.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace
{
// Writes blocks until the send buffer stays full: no room comes within 20 ms
// of a write that would have blocked (over TCP, room comes again while the
// bytes move on to the peer's receive buffer). The bytes written; 0 when it
// never stays full.
long long fill(juce::StreamingSocket& socket)
{
    const std::vector<char> block(4096, 'x');
    const int handle = socket.getRawSocketHandle();
    long long written = 0;
    for (int i = 0; i < 100000; ++i)
    {
        const int n = SocketWrite::write(handle, block.data(), 4096);
        if (n == SocketWrite::wouldBlock &&
            SocketWrite::waitForRoom(handle, 20) == SocketWrite::Room::timedOut)
            return written;
        if (n == SocketWrite::failed || n > 4096)
            return 0;
        written += n > 0 ? n : 0;
    }
    return 0;
}

// What a reading says: refused, failed, or bytes outstanding or none, closed.
std::string said(const Acknowledgement::Reading& r)
{
    if (r.answer != Acknowledgement::Answer::answered)
        return r.answer == Acknowledgement::Answer::refused ? "refused" : "failed";
    return std::string(r.unacknowledged != 0 ? "outstanding" : "none") +
           (r.closed ? ", closed" : "");
}

// What the readings say once it is no longer `from`, or `from` after 10 s.
std::string settled(int handle, long long written, const std::string& from)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string now;
    while ((now = said(Acknowledgement::read(handle, static_cast<std::uint64_t>(written)))) ==
               from &&
           std::chrono::steady_clock::now() < deadline)
        juce::Thread::sleep(1);
    return now;
}
} // namespace

TEST(SocketWrite, FullBufferWouldBlockAndTheWaitForRoomEnds)
{
    LoopbackSockets sockets;
    ASSERT_TRUE(sockets.connect() && sockets.accept());
    ASSERT_GT(fill(sockets.client()), 0);
    const int handle = sockets.client().getRawSocketHandle();

    sockets.drainServerEnd();
    EXPECT_EQ(SocketWrite::waitForRoom(handle, 10000), SocketWrite::Room::ready);
    const char byte = 'x';
    EXPECT_EQ(SocketWrite::write(handle, &byte, 1), 1);
}

// A peer that resets the connection while the buffer is full ends the wait
// for room, and the write then fails: the transfer learns of the reset at once.
// The wait itself may tell of the end (Windows, which shows a reset only to
// readers) or leave it to the write (Linux).
TEST(SocketWrite, ResetWhileFullEndsTheWaitForRoomAndTheWriteFails)
{
    LoopbackSockets sockets;
    ASSERT_TRUE(sockets.connect() && sockets.accept());
    ASSERT_GT(fill(sockets.client()), 0);
    sockets.resetServerEnd();
    const int handle = sockets.client().getRawSocketHandle();
    EXPECT_NE(SocketWrite::waitForRoom(handle, 10000), SocketWrite::Room::timedOut);
    const char byte = 'x';
    EXPECT_EQ(SocketWrite::write(handle, &byte, 1), SocketWrite::failed);
}

// On Linux, without the no-signal flag, the write would end this test
// program (SIGPIPE).
TEST(SocketWrite, PeerGoneIsAFailureNotASignal)
{
    LoopbackSockets sockets;
    ASSERT_TRUE(sockets.connect() && sockets.accept());
    sockets.resetServerEnd();
    const int handle = sockets.client().getRawSocketHandle();
    ASSERT_NE(SocketWrite::waitForRoom(handle, 10000), SocketWrite::Room::timedOut);
    const char byte = 'x';
    EXPECT_EQ(SocketWrite::write(handle, &byte, 1), SocketWrite::failed);
    EXPECT_EQ(SocketWrite::write(handle, &byte, 1), SocketWrite::failed);
    EXPECT_EQ(SocketWrite::write(-1, &byte, 1), SocketWrite::failed);
}

// Every byte written counts as acknowledged once the peer's stack has it, not
// while a full window holds some back; after a reset the bytes held back stay
// unacknowledged on a closed connection (or the query fails).
TEST(Acknowledgement, AllOnceThePeerHasEveryByteNeverAfterAReset)
{
    LoopbackSockets sockets;
    ASSERT_TRUE(sockets.connect() && sockets.accept());
    const int handle = sockets.client().getRawSocketHandle();
    const char byte = 'x';
    ASSERT_EQ(SocketWrite::write(handle, &byte, 1), 1);
    const std::string first = settled(handle, 1, "outstanding");
    if (first == "refused")
        GTEST_SKIP() << "this system does not tell what was acknowledged";
    EXPECT_EQ(first, "none");

    const long long written = 1 + fill(sockets.client());
    ASSERT_GT(written, 1);
    EXPECT_EQ(said(Acknowledgement::read(handle, static_cast<std::uint64_t>(written))),
              "outstanding");
    sockets.resetServerEnd();
    const std::string reset = settled(handle, written, "outstanding");
    EXPECT_TRUE(reset == "outstanding, closed" || reset == "failed") << reset;
}
