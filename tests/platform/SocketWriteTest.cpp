// KVR516_UPDATE, GPL-3.0-or-later.
// Writes on a connected stream socket that never block and never raise a
// signal, on a connection over loopback.
#include "platform/SocketWrite.h"
#include "platform/Acknowledgement.h"

#include "LoopbackSockets.h"

#include <gtest/gtest.h>

#include <chrono>
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

// The reading once every byte is acknowledged, the connection closed or the
// query not answered; or the last one after 10 s.
Acknowledgement::Reading settled(int handle, long long written)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;)
    {
        const auto reading = Acknowledgement::read(handle, static_cast<std::uint64_t>(written));
        if (reading.answer != Acknowledgement::Answer::answered || reading.unacknowledged == 0 ||
            reading.closed || std::chrono::steady_clock::now() >= deadline)
            return reading;
        juce::Thread::sleep(1);
    }
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
    const Acknowledgement::Reading first = settled(handle, 1);
    if (first.answer == Acknowledgement::Answer::refused)
        GTEST_SKIP() << "this system does not tell what was acknowledged (error " << first.error
                     << ")";
    ASSERT_EQ(first.answer, Acknowledgement::Answer::answered) << first.error;
    EXPECT_EQ(first.unacknowledged, 0u);
    EXPECT_FALSE(first.closed);

    const long long written = 1 + fill(sockets.client());
    ASSERT_GT(written, 1);
    const Acknowledgement::Reading full =
        Acknowledgement::read(handle, static_cast<std::uint64_t>(written));
    EXPECT_EQ(full.answer, Acknowledgement::Answer::answered);
    EXPECT_GT(full.unacknowledged, 0u);
    EXPECT_FALSE(full.closed);

    sockets.resetServerEnd();
    const Acknowledgement::Reading reset = settled(handle, written);
    if (reset.answer == Acknowledgement::Answer::answered)
    {
        EXPECT_TRUE(reset.closed);
        EXPECT_GT(reset.unacknowledged, 0u);
    }
    else
        EXPECT_EQ(reset.answer, Acknowledgement::Answer::failed);
}
