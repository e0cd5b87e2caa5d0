// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/Broadcast.h"
#include "net/OpenHandles.h"
#include "net/ResolveTap.h"
#include "support/Await.h"
#include "support/NetNamespace.h"
#include "support/SocketTap.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// The program side runs in one network namespace; a receiver on UDP port 56000
// sits in a second one, joined to the first by veth pairs with documentation
// addresses.
namespace
{
// Lists the entries given (flapping: every other time); for the first
// absentFor calls nothing, and from then on it throws when told to.
class ListedQuery : public InterfaceQuery
{
public:
    ListedQuery(std::vector<Entry> e, bool f = false, int absent = 0, bool t = false)
        : listed(std::move(e)), flapping(f), absentFor(absent), throws(t)
    {
    }
    Outcome listIpv4(std::vector<Entry>& entries) override
    {
        const int call = calls++;
        if (throws && call >= absentFor)
            throw std::bad_alloc();
        entries = call < absentFor || (flapping && call % 2 == 1) ? std::vector<Entry>{} : listed;
        return Outcome::listed;
    }
    std::vector<Entry> listed;
    bool flapping;
    int absentFor;
    bool throws;
    std::atomic<int> calls{0};
};

InterfaceQuery::Entry entry(const char* address, const char* netmask)
{
    return {::inet_addr(address), ::inet_addr(netmask)};
}

struct Datagram
{
    std::string bytes;
    std::string source;      // address:port
    std::string destination; // the address it was sent to
};

std::string text(in_addr a)
{
    char t[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, t, sizeof(t));
    return t;
}

// What this process writes on standard error while the object lives goes to
// a file, and is written on standard error again when it goes.
class ErrorOutput
{
public:
    ErrorOutput() : saved(::dup(STDERR_FILENO)), file(std::tmpfile())
    {
        if (file != nullptr)
            ::dup2(::fileno(file), STDERR_FILENO);
    }
    ~ErrorOutput()
    {
        const std::string text = written();
        ::dup2(saved, STDERR_FILENO);
        ::close(saved);
        if (file != nullptr)
            std::fclose(file);
        std::fputs(text.c_str(), stderr);
    }

    bool has(const std::string& text) const { return written().find(text) != std::string::npos; }

private:
    std::string written() const
    {
        std::string text;
        char block[4096];
        ssize_t n = 0;
        for (off_t at = 0;
             file != nullptr && (n = ::pread(::fileno(file), block, sizeof(block), at)) > 0;
             at += n)
            text.append(block, static_cast<size_t>(n));
        return text;
    }

    const int saved;
    std::FILE* const file;
};

class BroadcastTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!NetNamespace::isRoot())
            GTEST_SKIP() << "needs root: the datagrams travel between network namespaces";
        program = std::make_unique<NetNamespace>();
        mixer = std::make_unique<NetNamespace>();
        ASSERT_TRUE(program->ok() && mixer->ok());
        ASSERT_TRUE(folder.createDirectory());
        ASSERT_TRUE(folder.getChildFile("Updater.upd").replaceWithText("KVR700X2"));
    }

    void TearDown() override
    {
        if (receiver >= 0)
            ::close(receiver);
        folder.deleteRecursively();
    }

    // The setup of the check, listing entries; the Broadcast started next lists
    // the same while it announces.
    std::unique_ptr<NetworkSetup> makeSetup(std::vector<InterfaceQuery::Entry> entries)
    {
        listed = entries;
        ListedQuery query(std::move(entries));
        auto setup = std::make_unique<NetworkSetup>(folder.getChildFile("Updater"), query);
        EXPECT_EQ(setup->getResult(), setup->getNumAddresses() > 0
                                          ? NetworkSetup::Result::ok
                                          : NetworkSetup::Result::onlyLoopback);
        return setup;
    }

    // A UDP socket on port 56000 in the mixer's namespace that tells each
    // datagram's destination address.
    void listenAsMixer()
    {
        mixer->runInside(
            [&]
            {
                receiver = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
                const int one = 1;
                ::setsockopt(receiver, IPPROTO_IP, IP_PKTINFO, &one, sizeof(one));
                sockaddr_in a{};
                a.sin_family = AF_INET;
                a.sin_port = htons(56000);
                ASSERT_EQ(::bind(receiver, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
            });
        ASSERT_GE(receiver, 0);
    }

    // The next datagram, or none within the time given.
    bool receive(Datagram& d, int timeoutMs = 10000)
    {
        pollfd p{receiver, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) != 1)
            return false;
        char bytes[64];
        char control[256];
        sockaddr_in from{};
        iovec io{bytes, sizeof(bytes)};
        msghdr m{};
        m.msg_name = &from;
        m.msg_namelen = sizeof(from);
        m.msg_iov = &io;
        m.msg_iovlen = 1;
        m.msg_control = control;
        m.msg_controllen = sizeof(control);
        const ssize_t n = ::recvmsg(receiver, &m, 0);
        if (n < 0)
            return false;
        d.bytes.assign(bytes, static_cast<std::size_t>(n));
        d.source = text(from.sin_addr) + ":" + std::to_string(ntohs(from.sin_port));
        d.destination.clear();
        for (cmsghdr* c = CMSG_FIRSTHDR(&m); c != nullptr; c = CMSG_NXTHDR(&m, c))
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO)
                d.destination = text(reinterpret_cast<in_pktinfo*>(CMSG_DATA(c))->ipi_addr);
        return true;
    }

    bool nothingReceived() const
    {
        char byte;
        return ::recv(receiver, &byte, 1, MSG_DONTWAIT) < 0 && errno == EAGAIN;
    }

    std::unique_ptr<Broadcast> start(const NetworkSetup& setup, int gapMs = 60000,
                                     bool flapping = false, int absentFor = 0, bool throws = false)
    {
        std::unique_ptr<Broadcast> b;
        program->runInside(
            [&]
            {
                auto q = std::make_unique<ListedQuery>(listed, flapping, absentFor, throws);
                query = q.get();
                b = std::make_unique<Broadcast>(setup, std::move(q), gapMs);
                b->startThread();
            });
        return b;
    }

    // True while something in the program's namespace holds UDP port 56000.
    bool port56000Held() const
    {
        bool held = false;
        program->runInside(
            [&]
            {
                const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
                sockaddr_in a{};
                a.sin_family = AF_INET;
                a.sin_port = htons(56000);
                held = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0;
                ::close(fd);
            });
        return held;
    }

    std::unique_ptr<NetNamespace> program;
    std::unique_ptr<NetNamespace> mixer;
    std::vector<InterfaceQuery::Entry> listed;
    ListedQuery* query = nullptr; // the last Broadcast's
    juce::File folder = juce::File::createTempFile("kvr-broadcast");
    int receiver = -1;
};

const std::string first("\x20\x00\xD2\xF0\xC6\x33\x64\x0A", 8);  // 198.51.100.10
const std::string second("\x20\x00\xD2\xF0\xCB\x00\x71\x0A", 8); // 203.0.113.10
} // namespace

TEST(BroadcastDatagram, CarriesTheListenerPortAndTheAddress)
{
    unsigned char d[Protocol::datagramSize];
    Broadcast::makeDatagram("192.168.1.10", d);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(d), 8),
              std::string("\x20\x00\xD2\xF0\xC0\xA8\x01\x0A", 8));
}

TEST_F(BroadcastTest, OneInterfaceEveryCycleFromPort56000)
{
    ASSERT_TRUE(program->linkTo(*mixer, "198.51.100.10/24", "198.51.100.20/24"));
    listenAsMixer();
    auto setup =
        makeSetup({entry("127.0.0.1", "255.0.0.0"), entry("198.51.100.10", "255.255.255.0")});
    auto broadcast = start(*setup);

    for (int i = 0; i < 3; ++i)
    {
        Datagram d;
        ASSERT_TRUE(receive(d));
        EXPECT_EQ(d.bytes, first);
        EXPECT_EQ(d.source, "198.51.100.10:56000");
        EXPECT_EQ(d.destination, "198.51.100.255");
    }
    EXPECT_EQ(broadcast->getStatus(), Broadcast::Status::running);

    EXPECT_TRUE(broadcast->stopThread(-1));
    EXPECT_EQ(broadcast->getStatus(), Broadcast::Status::stopped);
}

// Each network's datagrams come in their order, but two links need not
// deliver one cycle's pair in the order it was sent: the datagrams are told
// apart by the network they went to.
TEST_F(BroadcastTest, TwoInterfacesInListOrderOnlyTheFirstFromPort56000)
{
    ASSERT_TRUE(program->linkTo(*mixer, "198.51.100.10/24", "198.51.100.20/24"));
    ASSERT_TRUE(program->linkTo(*mixer, "203.0.113.10/24", "203.0.113.20/24"));
    listenAsMixer();
    auto setup = makeSetup(
        {entry("198.51.100.10", "255.255.255.0"), entry("203.0.113.10", "255.255.255.0")});
    auto broadcast = start(*setup);

    std::vector<Datagram> toFirst, toSecond;
    for (int n = 0; n < 20 && (toFirst.size() < 3 || toSecond.size() < 3); ++n)
    {
        Datagram d;
        ASSERT_TRUE(receive(d));
        (d.destination == "198.51.100.255" ? toFirst : toSecond).push_back(d);
    }
    ASSERT_GE(toFirst.size(), 3u);
    ASSERT_GE(toSecond.size(), 3u);
    for (const Datagram& a : toFirst)
    {
        EXPECT_EQ(a.bytes, first);
        EXPECT_EQ(a.source, "198.51.100.10:56000");
    }
    for (const Datagram& b : toSecond)
    {
        EXPECT_EQ(b.bytes, second);
        EXPECT_EQ(b.destination, "203.0.113.255");
        EXPECT_EQ(b.source.rfind("203.0.113.10:", 0), 0u) << b.source;
        EXPECT_NE(b.source, "203.0.113.10:56000");
        EXPECT_EQ(b.source, toSecond[0].source); // the same socket every cycle
    }
    broadcast.reset();
    EXPECT_FALSE(port56000Held());
}

TEST_F(BroadcastTest, StopBeforeTheFirstCycleSendsNothing)
{
    ASSERT_TRUE(program->linkTo(*mixer, "198.51.100.10/24", "198.51.100.20/24"));
    listenAsMixer();
    auto setup = makeSetup({entry("198.51.100.10", "255.255.255.0")});

    Broadcast* running = nullptr;
    ResolveTap::beforeNextLookup([&] { running->signalThreadShouldExit(); });
    program->runInside(
        [&]
        {
            auto b = std::make_unique<Broadcast>(*setup, std::make_unique<ListedQuery>(listed));
            running = b.get();
            b->startThread();
            EXPECT_TRUE(Await::until([&] { return b->getStatus() != Broadcast::Status::running; }));
            EXPECT_EQ(b->getStatus(), Broadcast::Status::stopped);
        });
    EXPECT_TRUE(nothingReceived());
}

// With no network but loopback listed nothing is refused: no socket is opened
// and the thread waits, past the 30 cycles that end an announcing refused
// everywhere, for a network, announced on at once. A list that throws ends the
// announcing with 4, and the log says what.
TEST_F(BroadcastTest, OnNoNetworkItWaitsForOneAndAThrowEndsIt)
{
    ASSERT_TRUE(program->linkTo(*mixer, "198.51.100.10/24", "198.51.100.20/24"));
    listenAsMixer();
    for (const bool throws : {false, true})
    {
        SCOPED_TRACE(throws);
        ErrorOutput log;
        auto setup = makeSetup({entry("127.0.0.1", "255.0.0.0")});
        listed = {entry("198.51.100.10", "255.255.255.0")};
        const int before = OpenHandles::count();
        const int absent = throws ? 1 : 8; // listings, 500 ms apart
        auto broadcast = start(*setup, 60000, false, absent, throws);
        ASSERT_TRUE(Await::until([&] { return query->calls >= absent; }));
        EXPECT_EQ(broadcast->getStatus(), Broadcast::Status::running);
        EXPECT_TRUE(broadcast->isOnNoNetwork());
        EXPECT_EQ(OpenHandles::count(), before);
        Datagram d;
        if (!throws)
        {
            ASSERT_TRUE(receive(d));
            EXPECT_EQ(d.bytes, first);
            EXPECT_FALSE(broadcast->isOnNoNetwork());
            continue;
        }
        ASSERT_TRUE(
            Await::until([&] { return broadcast->getStatus() != Broadcast::Status::running; }));
        EXPECT_EQ(broadcast->getStatus(), Broadcast::Status::sendFailed);
        EXPECT_TRUE(log.has("announcing ended on an exception (std::bad_alloc)"));
        EXPECT_FALSE(receive(d, 0));
    }
}

// A network whose datagram cannot be sent (an interface that is down but keeps
// its address, a network with no route, a full buffer for a moment) is skipped
// in every cycle, and the others go on being announced; only 30 cycles in a
// row in which no network could be reached end the announcing, with 4.
TEST_F(BroadcastTest, UnreachableNetworksAreSkippedAndOnlyAllOfThemFail)
{
    ASSERT_TRUE(program->linkTo(*mixer, "198.51.100.10/24", "198.51.100.20/24"));
    ASSERT_TRUE(program->ip("link add kvdown type veth peer name kvdownpeer") &&
                program->ip("addr add 203.0.113.10/25 dev kvdown"));
    listenAsMixer();
    const auto reachable = entry("198.51.100.10", "255.255.255.0");
    const auto down = entry("203.0.113.10", "255.255.255.128");
    const auto noRoute = entry("203.0.113.200", "255.255.255.128");

    struct Row
    {
        const char* name;
        std::vector<InterfaceQuery::Entry> entries;
        bool fails;
        int fullBuffers = 0; // sends that first find the buffer full
    };
    for (const Row& row :
         {Row{"down, then reachable", {down, reachable}, false},
          Row{"reachable, then no route", {reachable, noRoute}, false},
          Row{"the only network's buffer full for 29 cycles", {reachable}, false, 29},
          Row{"down and no route", {down, noRoute}, true}})
    {
        SCOPED_TRACE(row.name);
        auto setup = makeSetup(row.entries);
        SocketTap::failDatagramSends(row.fullBuffers, EAGAIN);
        auto broadcast = start(*setup);
        if (row.fails)
        {
            ASSERT_TRUE(
                Await::until([&] { return broadcast->getStatus() != Broadcast::Status::running; }));
            EXPECT_EQ(broadcast->getStatus(), Broadcast::Status::sendFailed);
            EXPECT_TRUE(nothingReceived());
            continue;
        }
        for (int cycle = 0; cycle < 3; ++cycle)
        {
            Datagram d;
            ASSERT_TRUE(receive(d));
            EXPECT_EQ(d.bytes, first);
        }
        EXPECT_EQ(broadcast->getStatus(), Broadcast::Status::running);
        EXPECT_TRUE(broadcast->stopThread(-1));
        EXPECT_EQ(broadcast->getStatus(), Broadcast::Status::stopped);
        broadcast.reset();
        for (Datagram d; receive(d, 0);)
            EXPECT_EQ(d.bytes, first);
    }
}

TEST_F(BroadcastTest, DestructionWhileAnnouncingClosesEverySocket)
{
    ASSERT_TRUE(program->linkTo(*mixer, "198.51.100.10/24", "198.51.100.20/24"));
    ASSERT_TRUE(program->linkTo(*mixer, "203.0.113.10/24", "203.0.113.20/24"));
    listenAsMixer();
    auto setup = makeSetup(
        {entry("198.51.100.10", "255.255.255.0"), entry("203.0.113.10", "255.255.255.0")});

    const int before = OpenHandles::count();
    auto broadcast = start(*setup);
    Datagram d;
    ASSERT_TRUE(receive(d));
    ASSERT_TRUE(receive(d));
    EXPECT_EQ(OpenHandles::count(), before + 2);
    EXPECT_TRUE(port56000Held());

    EXPECT_TRUE(Await::returns([&] { broadcast.reset(); }));
    EXPECT_EQ(OpenHandles::count(), before);
    EXPECT_FALSE(port56000Held());
}

// A network whose socket cannot be made is tried again at the next listing; one
// that comes and goes is logged once per gap, then with the changes left out.
TEST_F(BroadcastTest, LateSocketIsMadeAtTheNextListingAndAFlappingNetworkIsLoggedOncePerGap)
{
    ASSERT_TRUE(program->linkTo(*mixer, "198.51.100.10/24", "198.51.100.20/24"));
    listenAsMixer();
    ErrorOutput log;
    auto setup = makeSetup({});
    listed = {entry("198.51.100.10", "255.255.255.0")};
    SocketTap::failDatagramSockets(true);
    auto broadcast = start(*setup);
    const bool refused = Await::until([&] { return log.has("cannot announce on 198.51.100.10"); });
    SocketTap::failDatagramSockets(false);
    Datagram d;
    ASSERT_TRUE(refused && receive(d));

    broadcast = start(*setup, 2000, true); // the gap: four listings
    ASSERT_TRUE(Await::until([&] { return log.has("changes of this network"); }));
    EXPECT_FALSE(log.has("gone\n")); // each going, within a gap of the line before, was left out
}
