// KVR516_UPDATE, GPL-3.0-or-later.
// The listener's wait: it ends on the signal from another thread, on a
// signal given before it started, and on the socket becoming readable.
#include "platform/WakeUp.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <future>

namespace
{
struct Pair
{
    Pair() { ok = ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) == 0; }
    ~Pair()
    {
        ::close(ends[0]);
        ::close(ends[1]);
    }
    bool ok = false;
    int ends[2] = {-1, -1};
};
} // namespace

TEST(WakeUp, ReadableSocketOrNothingWithinTheTimeout)
{
    Pair pair;
    ASSERT_TRUE(pair.ok);
    WakeUp wakeUp;
    ASSERT_TRUE(wakeUp.isValid());
    EXPECT_EQ(wakeUp.wait(pair.ends[0], 0), WakeUp::Woken::timedOut);
    ASSERT_EQ(::write(pair.ends[1], "x", 1), 1);
    EXPECT_EQ(wakeUp.wait(pair.ends[0], -1), WakeUp::Woken::readable);
}

TEST(WakeUp, SignalEndsAWaitWithoutLimitAndEveryLaterOne)
{
    Pair pair;
    ASSERT_TRUE(pair.ok);
    WakeUp wakeUp;
    auto waited = std::async(std::launch::async, [&] { return wakeUp.wait(pair.ends[0], -1); });
    EXPECT_EQ(waited.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
    wakeUp.signal();
    ASSERT_EQ(waited.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(waited.get(), WakeUp::Woken::signalled);

    // Signalled before the wait, and winning over a readable socket.
    ASSERT_EQ(::write(pair.ends[1], "x", 1), 1);
    EXPECT_EQ(wakeUp.wait(pair.ends[0], -1), WakeUp::Woken::signalled);
}
