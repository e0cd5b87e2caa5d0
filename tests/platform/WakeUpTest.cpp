// KVR516_UPDATE, GPL-3.0-or-later.
// The listener's wait: it ends on the signal from another thread, on a
// signal given before it started, and on a connection to accept.
#include "platform/WakeUp.h"

#include "LoopbackSockets.h"

#include <gtest/gtest.h>

#include <future>

TEST(WakeUp, ConnectionToAcceptOrNothingWithinTheTimeout)
{
    WakeUp wakeUp; // made before any socket, as the listener makes it
    ASSERT_TRUE(wakeUp.isValid());
    LoopbackSockets sockets;
    ASSERT_TRUE(sockets.listening());
    const int listener = sockets.listener().getRawSocketHandle();
    EXPECT_EQ(wakeUp.wait(listener, 0), WakeUp::Woken::timedOut);
    ASSERT_TRUE(sockets.connect());
    EXPECT_EQ(wakeUp.wait(listener, 10000), WakeUp::Woken::readable);
    // Still there until accepted, and the accepted socket works as before.
    EXPECT_EQ(wakeUp.wait(listener, 0), WakeUp::Woken::readable);
    ASSERT_TRUE(sockets.accept());
    EXPECT_EQ(sockets.client().write("x", 1), 1);
    char byte = 0;
    EXPECT_EQ(sockets.server().read(&byte, 1, true), 1);
    EXPECT_EQ(wakeUp.wait(listener, 0), WakeUp::Woken::timedOut);
}

TEST(WakeUp, SignalEndsAWaitWithoutLimitAndEveryLaterOne)
{
    LoopbackSockets sockets;
    ASSERT_TRUE(sockets.listening());
    const int listener = sockets.listener().getRawSocketHandle();
    WakeUp wakeUp;
    auto waited = std::async(std::launch::async, [&] { return wakeUp.wait(listener, -1); });
    EXPECT_EQ(waited.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
    wakeUp.signal();
    ASSERT_EQ(waited.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(waited.get(), WakeUp::Woken::signalled);

    // Signalled before the wait, and winning over a connection to accept.
    ASSERT_TRUE(sockets.connect());
    EXPECT_EQ(wakeUp.wait(listener, -1), WakeUp::Woken::signalled);
}
