// KVR516_UPDATE, GPL-3.0-or-later.
// The small socket seams the listener and Broadcast use: why an accept
// gave nothing, socket options, and the datagram destination.
#include "platform/AcceptFailure.h"
#include "platform/DatagramDestination.h"
#include "platform/SocketOptions.h"

#include "LoopbackSockets.h"

#include <gtest/gtest.h>

// Nothing pending on a listening socket that does not wait: worth waiting for
// the next connection. A listening socket that has been closed: not.
TEST(AcceptFailure, NothingPendingIsWorthWaitingForAClosedListenerIsNot)
{
    LoopbackSockets sockets;
    ASSERT_TRUE(sockets.listening());
    ASSERT_TRUE(SocketOptions::makeNonBlocking(sockets.listener().getRawSocketHandle()));
    AcceptFailure::clear();
    ASSERT_EQ(sockets.listener().waitForNextConnection(), nullptr);
    EXPECT_TRUE(AcceptFailure::peerGaveUp());

    sockets.listener().close();
    AcceptFailure::clear();
    ASSERT_EQ(sockets.listener().waitForNextConnection(), nullptr);
    EXPECT_FALSE(AcceptFailure::peerGaveUp());
}

// Broadcast's first socket takes UDP port 56000 only while nobody holds
// it: without address reuse a second socket cannot bind a port in use.
TEST(SocketOptions, WithoutAddressReuseAPortInUseCannotBeBoundAgain)
{
    juce::DatagramSocket first;
    juce::DatagramSocket second;
    for (auto* socket : {&first, &second})
        ASSERT_TRUE(SocketOptions::set(socket->getRawSocketHandle(),
                                       SocketOptions::Option::reuseAddress, 0));
    ASSERT_TRUE(first.bindToPort(0, "127.0.0.1"));
    ASSERT_GT(first.getBoundPort(), 0);
    EXPECT_FALSE(second.bindToPort(first.getBoundPort(), "127.0.0.1"));

    // The other options Broadcast sets are taken.
    using Option = SocketOptions::Option;
    const int handle = first.getRawSocketHandle();
    EXPECT_TRUE(SocketOptions::set(handle, Option::broadcast, 1));
    EXPECT_TRUE(SocketOptions::set(handle, Option::receiveBufferSize, 65536));
    EXPECT_TRUE(SocketOptions::set(handle, Option::sendBufferSize, 65536));
    EXPECT_FALSE(SocketOptions::set(-1, Option::broadcast, 1));
    EXPECT_FALSE(SocketOptions::makeNonBlocking(-1));
}

TEST(DatagramDestination, ADirectedBroadcastAddressResolves)
{
    EXPECT_TRUE(DatagramDestination::resolves("198.51.100.255", 56000));
    EXPECT_TRUE(DatagramDestination::resolves("127.0.0.1", 56000));
}
