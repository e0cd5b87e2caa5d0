// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/Listener.h"
#include "net/OpenHandles.h"
#include "support/Await.h"
#include "support/NetNamespace.h"
#include "support/SocketTap.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// Every test binds TCP port 54000, so each runs in a network namespace of its own.
namespace
{
class ListenerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!NetNamespace::isRoot())
            GTEST_SKIP() << "needs root: the listener's fixed port is bound in a network namespace";
        ns = std::make_unique<NetNamespace>();
        ASSERT_TRUE(ns->ok());
    }

    // A socket made inside the namespace (it stays there).
    int socketInside(int type) const
    {
        int fd = -1;
        ns->runInside([&] { fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0); });
        return fd;
    }

    static sockaddr_in port54000()
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(54000);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return a;
    }

    // Connects a new socket to 127.0.0.1:54000 in the namespace, retrying until
    // the listener is there; -1 when it never is.
    int connectPeer() const
    {
        int fd = -1;
        Await::until(
            [&]
            {
                fd = socketInside(SOCK_STREAM);
                const sockaddr_in a = port54000();
                if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof(a)) == 0)
                    return true;
                ::close(fd);
                fd = -1;
                return false;
            });
        return fd;
    }

    // True while a socket in the namespace listens on port 54000 (connections
    // that use the port do not count).
    bool portHeld() const
    {
        const int fd = socketInside(SOCK_STREAM);
        const int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
        const sockaddr_in a = port54000();
        const bool held = ::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof(a)) != 0 &&
                          errno == EADDRINUSE;
        ::close(fd);
        return held;
    }

    static int localPort(int fd, bool peer)
    {
        sockaddr_in a{};
        socklen_t n = sizeof(a);
        const int r = peer ? ::getpeername(fd, reinterpret_cast<sockaddr*>(&a), &n)
                           : ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
        return r == 0 ? ntohs(a.sin_port) : -1;
    }

    // Takes the connection waiting in the queue of this process's socket that
    // listens on port 54000; -1 when none comes within 10 s.
    static int acceptQueued()
    {
        int listening = -1;
        for (int fd = 0; fd < 1024 && listening < 0; ++fd)
        {
            int accepts = 0;
            socklen_t size = sizeof(accepts);
            if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &accepts, &size) == 0 && accepts &&
                localPort(fd, false) == 54000)
                listening = fd;
        }
        pollfd p{listening, POLLIN, 0};
        if (listening < 0 || ::poll(&p, 1, 10000) != 1)
            return -1;
        return ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
    }

    std::unique_ptr<Listener> startListener(int connections = 1) const
    {
        std::unique_ptr<Listener> listener;
        ns->runInside(
            [&]
            {
                listener = std::make_unique<Listener>(connections);
                listener->startThread();
            });
        return listener;
    }

    std::unique_ptr<NetNamespace> ns;
};
} // namespace

// Made for one peer or for three: each is handed over in the order they
// came, and the listener stays running until the last it was made for.
TEST_F(ListenerTest, AcceptsThePeersItWasMadeForAndNeverOneMore)
{
    for (const int wanted : {1, 3})
    {
        SCOPED_TRACE(wanted);
        auto listener = startListener(wanted);
        ASSERT_TRUE(listener->waitUntilListening(10000));
        EXPECT_TRUE(listener->isListening());

        std::vector<int> peers;
        std::vector<std::unique_ptr<juce::StreamingSocket>> mixers;
        for (int k = 0; k < wanted; ++k)
        {
            EXPECT_EQ(listener->getStatus(), Listener::Status::running);
            peers.push_back(connectPeer());
            ASSERT_GE(peers.back(), 0);
            juce::StreamingSocket* taken = nullptr;
            ASSERT_TRUE(Await::until([&] { return (taken = listener->getConnectedSocket()); }));
            mixers.emplace_back(taken);
            const int handle = taken->getRawSocketHandle();
            EXPECT_EQ(localPort(handle, true), localPort(peers.back(), false));
            int noDelay = 0;
            socklen_t size = sizeof(noDelay);
            ASSERT_EQ(::getsockopt(handle, IPPROTO_TCP, TCP_NODELAY, &noDelay, &size), 0);
            EXPECT_EQ(noDelay, 1);
        }
        ASSERT_TRUE(
            Await::until([&] { return listener->getStatus() != Listener::Status::running; }));
        ASSERT_EQ(listener->getStatus(), Listener::Status::connected);

        // One more peer gets into the queue but is never accepted; its attempt
        // ends when the listener goes.
        const int extra = connectPeer();
        ASSERT_GE(extra, 0);
        EXPECT_TRUE(Await::returns([&] { listener.reset(); }));
        pollfd p{extra, POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 5000), 1);
        char byte;
        EXPECT_LE(::recv(extra, &byte, 1, 0), 0);
        EXPECT_FALSE(portHeld());

        // The accepted connections outlive the listener.
        for (std::size_t k = 0; k < mixers.size(); ++k)
        {
            ASSERT_EQ(mixers[k]->write("x", 1), 1);
            EXPECT_EQ(::recv(peers[k], &byte, 1, 0), 1);
            ::close(peers[k]);
        }
        ::close(extra);
    }
}

// The connection goes to exactly one owner: the first to take it, or else the
// listener, which closes it when it goes (the stage gave up waiting just as
// the mixer connected).
TEST_F(ListenerTest, AConnectionIsTakenOnceOrClosedWithTheListener)
{
    for (const bool taken : {true, false})
    {
        SCOPED_TRACE(taken ? "taken" : "left");
        auto listener = startListener();
        const int peer = connectPeer();
        ASSERT_GE(peer, 0);
        ASSERT_TRUE(
            Await::until([&] { return listener->getStatus() != Listener::Status::running; }));
        ASSERT_EQ(listener->getStatus(), Listener::Status::connected);

        std::unique_ptr<juce::StreamingSocket> mixer;
        if (taken)
        {
            mixer.reset(listener->getConnectedSocket());
            ASSERT_NE(mixer, nullptr);
            EXPECT_EQ(listener->getConnectedSocket(), nullptr);
        }
        EXPECT_TRUE(Await::returns([&] { listener.reset(); }));

        // Open while its taker holds it; closed with the listener otherwise.
        pollfd p{peer, POLLIN, 0};
        char byte;
        if (taken)
        {
            EXPECT_EQ(::poll(&p, 1, 200), 0);
            ASSERT_EQ(mixer->write("x", 1), 1);
            EXPECT_EQ(::recv(peer, &byte, 1, 0), 1);
        }
        else
        {
            ASSERT_EQ(::poll(&p, 1, 5000), 1);
            EXPECT_EQ(::recv(peer, &byte, 1, 0), 0);
        }
        ::close(peer);
    }
}

TEST_F(ListenerTest, PortHeldByAnotherSocketGives1)
{
    const int other = socketInside(SOCK_STREAM);
    const sockaddr_in a = port54000();
    ASSERT_EQ(::bind(other, reinterpret_cast<const sockaddr*>(&a), sizeof(a)), 0);
    ASSERT_EQ(::listen(other, 1), 0);

    auto listener = startListener();
    ASSERT_TRUE(Await::until([&] { return listener->getStatus() != Listener::Status::running; }));
    EXPECT_EQ(listener->getStatus(), Listener::Status::listenFailed);
    EXPECT_EQ(listener->getConnectedSocket(), nullptr);
    EXPECT_TRUE(Await::returns([&] { listener.reset(); }));
    ::close(other);
}

TEST_F(ListenerTest, ClosingWhileWaitingGives2AndNoConnection)
{
    const int before = OpenHandles::count();
    auto listener = startListener();
    ASSERT_TRUE(Await::until([&] { return portHeld(); }));
    EXPECT_EQ(listener->getStatus(), Listener::Status::running);

    listener->close();
    ASSERT_TRUE(Await::until([&] { return listener->getStatus() != Listener::Status::running; }));
    EXPECT_EQ(listener->getStatus(), Listener::Status::noConnection);
    EXPECT_EQ(listener->getConnectedSocket(), nullptr);

    // A peer that comes after the close stays in the port's queue, where this
    // test finds it: nobody accepted it.
    const int late = connectPeer();
    ASSERT_GE(late, 0);
    const int queued = acceptQueued();
    EXPECT_GE(queued, 0) << "the late peer was accepted by someone else";
    EXPECT_EQ(listener->getStatus(), Listener::Status::noConnection);
    EXPECT_EQ(listener->getConnectedSocket(), nullptr);

    EXPECT_TRUE(Await::returns([&] { listener.reset(); }));
    EXPECT_FALSE(portHeld());
    ::close(queued);
    ::close(late);
    // Nothing is left open: neither the listening socket, nor the connection
    // JUCE makes to wake its own accept, nor the late peer's.
    EXPECT_EQ(OpenHandles::count(), before);
}

// The two ways an accept can fail. With no descriptor left for the connection
// the fault is the listening side's: the wait ends without a connection (2)
// instead of waking again and again for the peer that stays queued. A peer
// that gave up before it was accepted is no fault: the wait goes on, and the
// next connection is taken.
TEST_F(ListenerTest, AcceptFailuresEndTheWaitOnlyWhenTheListenerIsAtFault)
{
    for (const int error : {EMFILE, ECONNABORTED})
    {
        SCOPED_TRACE(error == EMFILE ? "no descriptor left" : "the peer gave up");
        const int before = OpenHandles::count();
        auto listener = startListener();
        ASSERT_TRUE(listener->waitUntilListening(10000));
        SocketTap::failAccepts(1, error);
        const int peer = connectPeer();
        ASSERT_GE(peer, 0);
        ASSERT_TRUE(
            Await::until([&] { return listener->getStatus() != Listener::Status::running; }));
        std::unique_ptr<juce::StreamingSocket> taken(listener->getConnectedSocket());
        if (error == EMFILE)
        {
            EXPECT_EQ(listener->getStatus(), Listener::Status::noConnection);
            EXPECT_EQ(taken, nullptr);
        }
        else
        {
            EXPECT_EQ(listener->getStatus(), Listener::Status::connected);
            ASSERT_NE(taken, nullptr);
            EXPECT_EQ(localPort(taken->getRawSocketHandle(), true), localPort(peer, false));
        }
        SocketTap::failAccepts(0, 0);
        taken.reset();
        EXPECT_TRUE(Await::returns([&] { listener.reset(); }));
        EXPECT_FALSE(portHeld());
        ::close(peer);
        EXPECT_EQ(OpenHandles::count(), before);
    }
}

TEST_F(ListenerTest, DestructionWhileWaitingEndsTheWaitAndFreesThePort)
{
    const int before = OpenHandles::count();
    auto listener = startListener();
    ASSERT_TRUE(Await::until([&] { return portHeld(); }));
    EXPECT_TRUE(Await::returns([&] { listener.reset(); }));
    EXPECT_FALSE(portHeld());
    EXPECT_EQ(OpenHandles::count(), before);
}

TEST_F(ListenerTest, DestructionRightAfterConstructionEndsPromptly)
{
    const int before = OpenHandles::count();
    for (int i = 0; i < 20; ++i)
    {
        auto listener = startListener();
        EXPECT_TRUE(Await::returns([&] { listener.reset(); }));
    }
    {
        auto neverStarted = std::make_unique<Listener>();
        EXPECT_TRUE(Await::returns([&] { neverStarted.reset(); }));
    }
    EXPECT_FALSE(portHeld());
    EXPECT_EQ(OpenHandles::count(), before);
}
