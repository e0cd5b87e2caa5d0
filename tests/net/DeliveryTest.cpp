// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/Broadcast.h"
#include "net/Listener.h"
#include "net/NetworkSetup.h"
#include "net/Update.h"
#include "support/Await.h"
#include "support/NetNamespace.h"
#include "support/Simulator.h"

#include <gtest/gtest.h>

#include <random>

// Whole deliveries between two network namespaces joined by a veth pair: the
// program's network pieces in one, the mixer simulator in the other.
namespace
{
class DeliveryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!NetNamespace::isRoot())
            GTEST_SKIP() << "needs root: the delivery runs between network namespaces";
        program = std::make_unique<NetNamespace>();
        mixer = std::make_unique<NetNamespace>();
        ASSERT_TRUE(program->ok() && mixer->ok());
        ASSERT_TRUE(program->linkTo(*mixer, "198.51.100.10/24", "198.51.100.20/24"));
        ASSERT_TRUE(folder.createDirectory());
    }

    void TearDown() override { folder.deleteRecursively(); }

    juce::File makeUpdateFile(std::size_t size)
    {
        std::string bytes(size, '\0');
        std::mt19937 noise(7);
        for (auto& b : bytes)
            b = static_cast<char>(noise());
        bytes.replace(0, 8, "KVR700X2");
        const juce::File file = folder.getChildFile("Updater.upd");
        EXPECT_TRUE(file.replaceWithData(bytes.data(), bytes.size()));
        return file;
    }

    // Connects as the update controller does: announce, accept the mixer, stop
    // announcing, release the listener. Returns the mixer's connection.
    std::unique_ptr<juce::StreamingSocket> connectMixer()
    {
        std::unique_ptr<Listener> listener;
        program->runInside(
            [&]
            {
                setup = std::make_unique<NetworkSetup>(folder.getChildFile("Updater"),
                                                       *InterfaceQuery::createForPlatform());
                if (setup->getResult() != NetworkSetup::Result::ok)
                    return;
                broadcast =
                    std::make_unique<Broadcast>(*setup, InterfaceQuery::createForPlatform());
                broadcast->startThread();
                listener = std::make_unique<Listener>();
                listener->startThread();
            });
        EXPECT_EQ(setup->getResult(), NetworkSetup::Result::ok);
        if (listener == nullptr)
            return nullptr;
        EXPECT_EQ(setup->getNumAddresses(), 1);

        EXPECT_TRUE(Await::until([&] { return listener->getStatus() != Listener::Status::running; },
                                 std::chrono::seconds(20)));
        EXPECT_EQ(listener->getStatus(), Listener::Status::connected);
        std::unique_ptr<juce::StreamingSocket> connection(listener->getConnectedSocket());
        broadcast->stopThread(-1);
        EXPECT_EQ(broadcast->getStatus(), Broadcast::Status::stopped);
        listener.reset();
        return connection;
    }

    Update::Status send(juce::StreamingSocket* connection)
    {
        Update update(connection, folder.getChildFile("Updater"), setup->getUpdateFile());
        update.startThread();
        EXPECT_TRUE(Await::until([&] { return update.getStatus() != Update::Status::running; },
                                 std::chrono::seconds(30)));
        return update.getStatus();
    }

    std::unique_ptr<NetNamespace> program;
    std::unique_ptr<NetNamespace> mixer;
    juce::File folder = juce::File::createTempFile("kvr-delivery");
    std::unique_ptr<NetworkSetup> setup;
    std::unique_ptr<Broadcast> broadcast;
};
} // namespace

TEST_F(DeliveryTest, WholeDeliveryArrivesByteExact)
{
    const juce::File file = makeUpdateFile(1024 * 1024 + 77);
    Simulator simulator(mixer->name(),
                        {"--expect", file.getFullPathName().toStdString(), "--timeout", "30"});
    ASSERT_TRUE(simulator.started());

    auto connection = connectMixer();
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(send(connection.get()), Update::Status::done);

    const std::string line = simulator.summary();
    EXPECT_EQ(Simulator::field(line, "result"), "ok") << line;
    EXPECT_EQ(Simulator::field(line, "bad"), "0") << line;
    EXPECT_EQ(Simulator::field(line, "source"), "198.51.100.10:56000") << line;
    EXPECT_EQ(Simulator::field(line, "ports"), "56000") << line;
    EXPECT_EQ(Simulator::field(line, "length"), std::to_string(file.getSize())) << line;
    EXPECT_EQ(Simulator::field(line, "received"), std::to_string(file.getSize())) << line;
    EXPECT_EQ(simulator.exitCode(), 0);
    EXPECT_TRUE(connection->isConnected()); // the program never closes it
}

TEST_F(DeliveryTest, SecondConnectionIsNeverServed)
{
    const juce::File file = makeUpdateFile(20000);
    Simulator simulator(mixer->name(), {"--expect", file.getFullPathName().toStdString(), "--fault",
                                        "second-connection", "--timeout", "30"});
    auto connection = connectMixer();
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(send(connection.get()), Update::Status::done);

    const std::string line = simulator.summary();
    EXPECT_EQ(Simulator::field(line, "result"), "ok") << line;
    EXPECT_EQ(Simulator::field(line, "second_bytes"), "0") << line;
    const std::string closed = Simulator::field(line, "second_closed_ms"); // "none": still open
    EXPECT_TRUE(!closed.empty() && closed != "none" && std::stod(closed) <= 1000.0) << line;
}

TEST_F(DeliveryTest, MixerResettingMidStreamGives3)
{
    makeUpdateFile(2 * 1024 * 1024);
    Simulator simulator(mixer->name(), {"--fault", "reset-after:4096", "--timeout", "30"});
    auto connection = connectMixer();
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(send(connection.get()), Update::Status::contentFailed);

    const std::string line = simulator.summary();
    EXPECT_EQ(Simulator::field(line, "received"), "4096") << line;
}

TEST_F(DeliveryTest, MixerResettingOnConnectIsAFailure)
{
    makeUpdateFile(2 * 1024 * 1024);
    Simulator simulator(mixer->name(), {"--fault", "reset-on-connect", "--timeout", "30"});
    auto connection = connectMixer();
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(simulator.exitCode(std::chrono::seconds(20)), 0);
    const Update::Status status = send(connection.get());
    EXPECT_TRUE(status == Update::Status::lengthFailed || status == Update::Status::contentFailed)
        << static_cast<int>(status);
}

TEST_F(DeliveryTest, MixerThatNeverReadsCannotHoldUpTheRelease)
{
    makeUpdateFile(16 * 1024 * 1024);
    Simulator simulator(mixer->name(), {"--fault", "no-read", "--timeout", "30"});
    auto connection = connectMixer();
    ASSERT_NE(connection, nullptr);

    auto update = std::make_unique<Update>(connection.get(), folder.getChildFile("Updater"),
                                           setup->getUpdateFile());
    update->startThread();
    // Once the buffers on both sides are full, the write waits for room.
    EXPECT_TRUE(Await::until([&] { return connection->waitUntilReady(false, 0) == 0; },
                             std::chrono::seconds(20)));
    EXPECT_EQ(update->getStatus(), Update::Status::running);
    EXPECT_TRUE(Await::returns([&] { update.reset(); }));
    EXPECT_TRUE(connection->isConnected());
}
