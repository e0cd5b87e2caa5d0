// KVR516_UPDATE, GPL-3.0-or-later.
// Writes on a connected stream socket that never block and never raise a
// signal, on a socket pair of this process.
#include "platform/SocketWrite.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace
{
struct Pair
{
    Pair() { ok = ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) == 0; }
    ~Pair()
    {
        for (int& e : ends)
            if (e >= 0)
                ::close(e);
    }
    void closeEnd(int i)
    {
        ::close(ends[i]);
        ends[i] = -1;
    }
    bool ok = false;
    int ends[2] = {-1, -1};
};
} // namespace

TEST(SocketWrite, FullBufferWouldBlockAndTheWaitForRoomEnds)
{
    Pair pair;
    ASSERT_TRUE(pair.ok);
    const std::vector<char> block(4096, 'x');

    int n = 0;
    for (int i = 0; i < 100000 && (n = SocketWrite::write(pair.ends[0], block.data(), 4096)) > 0;
         ++i)
        EXPECT_LE(n, 4096);
    ASSERT_EQ(n, SocketWrite::wouldBlock);
    EXPECT_EQ(SocketWrite::waitForRoom(pair.ends[0], 20), SocketWrite::Room::timedOut);

    std::vector<char> drain(1 << 20);
    while (::recv(pair.ends[1], drain.data(), drain.size(), MSG_DONTWAIT) > 0)
    {
    }
    EXPECT_EQ(SocketWrite::waitForRoom(pair.ends[0], 10000), SocketWrite::Room::ready);
    EXPECT_GT(SocketWrite::write(pair.ends[0], block.data(), 4096), 0);
}

// Without the no-signal flag the write would end this test program (SIGPIPE).
TEST(SocketWrite, PeerGoneIsAFailureNotASignal)
{
    Pair pair;
    ASSERT_TRUE(pair.ok);
    pair.closeEnd(1);
    const char byte = 'x';
    EXPECT_EQ(SocketWrite::write(pair.ends[0], &byte, 1), SocketWrite::failed);
    EXPECT_EQ(SocketWrite::write(-1, &byte, 1), SocketWrite::failed);
}
