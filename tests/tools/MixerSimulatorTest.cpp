// KVR516_UPDATE, GPL-3.0-or-later.
#include "support/NetNamespace.h"
#include "support/Simulator.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <juce_core/juce_core.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// The simulator against a hand-made program side, in a network namespace of
// the test's own (the simulator binds UDP port 56000, the program side TCP 54000).
namespace
{
class MixerSimulatorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!NetNamespace::isRoot())
            GTEST_SKIP()
                << "needs root: the simulator's fixed ports are bound in a network namespace";
        ns = std::make_unique<NetNamespace>();
        ASSERT_TRUE(ns->ok());
        ns->runInside(
            [&]
            {
                sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
                listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            });
        sockaddr_in a = loopback(54000);
        ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
        ASSERT_EQ(::listen(listener, 4), 0);
    }

    void TearDown() override
    {
        for (int fd : {sender, listener, connection})
            if (fd >= 0)
                ::close(fd);
        expected.deleteFile();
    }

    static sockaddr_in loopback(int port)
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return a;
    }

    void announce(const std::string& datagram) const
    {
        const sockaddr_in to = loopback(56000);
        ::sendto(sender, datagram.data(), datagram.size(), 0,
                 reinterpret_cast<const sockaddr*>(&to), sizeof(to));
    }

    // Announces every 20 ms until the simulator connects; true when it did.
    bool announceUntilConnected(const std::string& datagram)
    {
        for (int i = 0; i < 500 && connection < 0; ++i)
        {
            announce(datagram);
            pollfd p{listener, POLLIN, 0};
            if (::poll(&p, 1, 20) == 1)
                connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        }
        return connection >= 0;
    }

    void sendStream(const std::string& length, const std::string& content) const
    {
        const std::string all = length + content;
        ASSERT_EQ(::send(connection, all.data(), all.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(all.size()));
    }

    std::unique_ptr<NetNamespace> ns;
    int sender = -1;
    int listener = -1;
    int connection = -1;
    juce::File expected = juce::File::createTempFile("kvr-expected");
};

const std::string good("\x20\x00\xD2\xF0\x7F\x00\x00\x01", 8); // announces 127.0.0.1
const std::string length5("\x00\x00\x00\x05", 4);
} // namespace

TEST_F(MixerSimulatorTest, ReadsExactlyTheAnnouncedLengthAndComparesIt)
{
    ASSERT_TRUE(expected.replaceWithText("KVR70"));
    Simulator simulator(ns->name(), {"--datagrams", "1", "--timeout", "20", "--expect",
                                     expected.getFullPathName().toStdString()});
    ASSERT_TRUE(announceUntilConnected(good));
    sendStream(length5, "KVR70");

    const std::string line = simulator.summary();
    EXPECT_EQ(Simulator::field(line, "result"), "ok") << line;
    EXPECT_EQ(Simulator::field(line, "length"), "5") << line;
    EXPECT_EQ(Simulator::field(line, "received"), "5") << line;
    EXPECT_EQ(Simulator::field(line, "bad"), "0") << line;
    EXPECT_EQ(Simulator::field(line, "source").rfind("127.0.0.1:", 0), 0u) << line;
    EXPECT_EQ(simulator.exitCode(), 0);
}

TEST_F(MixerSimulatorTest, ReportsContentThatDiffers)
{
    ASSERT_TRUE(expected.replaceWithText("KVR70"));
    Simulator simulator(ns->name(), {"--datagrams", "1", "--timeout", "20", "--expect",
                                     expected.getFullPathName().toStdString()});
    ASSERT_TRUE(announceUntilConnected(good));
    sendStream(length5, "KVR71");
    EXPECT_EQ(Simulator::field(simulator.summary(), "result"), "mismatch");
    EXPECT_EQ(simulator.exitCode(), 1);
}

TEST_F(MixerSimulatorTest, ReportsBytesBeyondTheAnnouncedLength)
{
    Simulator simulator(ns->name(), {"--datagrams", "1", "--timeout", "20"});
    ASSERT_TRUE(announceUntilConnected(good));
    sendStream(length5, "KVR70+");
    EXPECT_EQ(Simulator::field(simulator.summary(), "result"), "extra-bytes");
}

TEST_F(MixerSimulatorTest, RejectsDatagramsThatDifferInAnyByte)
{
    for (const std::string& wrong :
         {std::string("\x20\x00\xD2\xF0\x7F\x00\x00\x02", 8), // not the sender's address
          std::string("\x20\x01\xD2\xF0\x7F\x00\x00\x01", 8),
          std::string("\x20\x00\xD2\xF1\x7F\x00\x00\x01", 8), good.substr(0, 7), good + "x"})
    {
        Simulator simulator(ns->name(), {"--datagrams", "1", "--timeout", "20"});
        int code = -1;
        for (int i = 0; i < 500 && code < 0; ++i)
        {
            announce(wrong);
            code = simulator.exitCode(std::chrono::milliseconds(20));
        }
        EXPECT_EQ(code, 1);
        EXPECT_EQ(Simulator::field(simulator.summary(), "result"), "bad-datagram");
        pollfd p{listener, POLLIN, 0};
        EXPECT_EQ(::poll(&p, 1, 0), 0); // it never connected
    }
}
