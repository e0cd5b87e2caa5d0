// KVR516_UPDATE, GPL-3.0-or-later.
// Writes on a connected stream socket that never block and never raise a
// signal, on a connection over loopback.
#include "platform/SocketWrite.h"

#include "LoopbackSockets.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
// Writes blocks until the send buffer stays full: no room comes within 20 ms
// of a write that would have blocked (over TCP, room comes again while the
// bytes move on to the peer's receive buffer). False when it never stays full.
bool fill(juce::StreamingSocket& socket)
{
    const std::vector<char> block(4096, 'x');
    const int handle = socket.getRawSocketHandle();
    for (int i = 0; i < 100000; ++i)
    {
        const int n = SocketWrite::write(handle, block.data(), 4096);
        if (n == SocketWrite::wouldBlock &&
            SocketWrite::waitForRoom(handle, 20) == SocketWrite::Room::timedOut)
            return true;
        if (n == SocketWrite::failed || n > 4096)
            return false;
    }
    return false;
}
} // namespace

TEST(SocketWrite, FullBufferWouldBlockAndTheWaitForRoomEnds)
{
    LoopbackSockets sockets;
    ASSERT_TRUE(sockets.connect() && sockets.accept());
    ASSERT_TRUE(fill(sockets.client()));
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
    ASSERT_TRUE(fill(sockets.client()));
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
