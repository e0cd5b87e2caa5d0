// KVR516_UPDATE, GPL-3.0-or-later.
#include "update/UpdateProcedure.h"
#include "net/Update.h"
#include "support/NetNamespace.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace
{
// A mixer that connects to the program's port from an address of namespace
// ns and reads want bytes, or what comes within 20 s, on a thread of its
// own; with resetAfter, it resets the connection once it has read that many.
struct Mixer
{
    Mixer(const NetNamespace& ns, const char* from, size_t want, size_t resetAfter = 0)
    {
        ns.runInside(
            [this, from]
            {
                for (int i = 0; i < 200 && socket < 0; ++i)
                {
                    socket = ::socket(AF_INET, SOCK_STREAM, 0);
                    sockaddr_in a{};
                    a.sin_family = AF_INET;
                    inet_pton(AF_INET, from, &a.sin_addr);
                    sockaddr_in to{};
                    to.sin_family = AF_INET;
                    to.sin_port = htons(54000);
                    inet_pton(AF_INET, "198.51.100.10", &to.sin_addr);
                    if (bind(socket, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0 &&
                        connect(socket, reinterpret_cast<sockaddr*>(&to), sizeof(to)) == 0)
                        return;
                    ::close(socket);
                    socket = -1;
                    juce::Thread::sleep(10);
                }
            });
        reader = std::thread(
            [this, want, resetAfter]
            {
                const timeval slice{0, 100000};
                setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &slice, sizeof(slice));
                const juce::uint32 end = juce::Time::getMillisecondCounter() + 20000;
                const size_t until = resetAfter > 0 ? resetAfter : want;
                char piece[4096];
                while (received.size() < until && juce::Time::getMillisecondCounter() < end)
                {
                    const ssize_t n =
                        recv(socket, piece, std::min(sizeof(piece), until - received.size()), 0);
                    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
                        break;
                    if (n > 0)
                        received.append(piece, static_cast<size_t>(n));
                    got = received.size();
                }
                if (resetAfter > 0)
                {
                    const linger reset{1, 0};
                    setsockopt(socket, SOL_SOCKET, SO_LINGER, &reset, sizeof(reset));
                    ::close(socket);
                    socket = -1;
                }
            });
    }
    ~Mixer()
    {
        if (reader.joinable())
            reader.join();
        if (socket >= 0)
            ::close(socket);
    }
    // Whether the program has closed the connection without sending a byte.
    bool closedAtOnce()
    {
        reader.join();
        return received.empty();
    }
    int socket = -1;
    std::atomic<size_t> got{0};
    std::string received; // the reader's until it is joined
    std::thread reader;
};

// The computer's namespace, a mixers' namespace with the addresses .20 and
// .21, and an update file beside the procedure's program.
class UpdateProcedureMixers : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!NetNamespace::isRoot())
            GTEST_SKIP() << "needs root to create network namespaces";
        ASSERT_TRUE(pc.linkTo(mixers, "198.51.100.10/24", "198.51.100.20/24 198.51.100.21/24"));
        ASSERT_TRUE(folder.getFile().createDirectory());
        juce::MemoryBlock file(300 * 1024 + 5);
        juce::Random random(516);
        for (size_t i = 0; i < file.getSize(); ++i)
            file[i] = static_cast<char>(random.nextInt(256));
        std::memcpy(file.getData(), "KVR700X2", 8);
        ASSERT_TRUE(folder.getFile()
                        .getChildFile("KVR516_UPDATE.upd")
                        .replaceWithData(file.getData(), file.getSize()));
        stream.assign("\x00\x04\xB0\x05", 4);
        stream.append(static_cast<const char*>(file.getData()), file.getSize());
        hooks.programFile = folder.getFile().getChildFile("KVR516_UPDATE");
        const std::string name = pc.name();
        hooks.workerStarted = [name] { NetNamespace::enter(name); };
    }

    std::unique_ptr<UpdateProcedure> make(int wanted, juce::StringArray onlyFrom = {})
    {
        return std::make_unique<UpdateProcedure>(
            hooks, [this] { ended.signal(); }, wanted, 0, onlyFrom);
    }

    // Runs stage to its end; its result.
    StageResult run(UpdateProcedure& procedure, Phase stage)
    {
        procedure.start(stage);
        EXPECT_TRUE(ended.wait(20000));
        return procedure.getResult();
    }

    // Waits until the mixer at place has ended its try (attempt).
    static bool awaitEnd(const UpdateProcedure& procedure, size_t place, int attempt)
    {
        for (int i = 0; i < 2000; ++i)
        {
            const auto reports = procedure.getDeliveries();
            if (reports.size() > place && reports[place].attempt == attempt && reports[place].ended)
                return true;
            juce::Thread::sleep(10);
        }
        return false;
    }

    NetNamespace pc, mixers;
    const juce::TemporaryFile folder;
    std::string stream; // the length and the file, as the mixer is to get it
    UpdateProcedure::Hooks hooks;
    juce::WaitableEvent ended;
};
} // namespace

// Two mixers from their own addresses, the second connecting once the first
// is sent to, their figures read all along from another thread: each gets the
// length and the whole file, and each has its own outcome.
TEST_F(UpdateProcedureMixers, EachOfTwoGetsTheWholeStreamWhileTheirFiguresAreRead)
{
    auto procedure = make(2);
    ASSERT_EQ(run(*procedure, Phase::initialise), StageResult::success);
    procedure->start(Phase::connect);
    Mixer first(mixers, "198.51.100.20", stream.size());
    ASSERT_TRUE(ended.wait(20000));
    ASSERT_EQ(procedure->getResult(), StageResult::success);
    EXPECT_TRUE(procedure->isWaitingForMixers());
    procedure->start(Phase::send);
    Mixer second(mixers, "198.51.100.21", stream.size());
    while (!ended.wait(1))
        for (const MixerDelivery::Report& r : procedure->getDeliveries())
            EXPECT_LE(r.figures.taken, r.figures.total);
    first.reader.join();
    second.reader.join();

    EXPECT_EQ(procedure->getResult(), StageResult::success);
    EXPECT_FALSE(procedure->isWaitingForMixers());
    const std::vector<MixerDelivery::Report> reports = procedure->getDeliveries();
    ASSERT_EQ(reports.size(), 2u);
    for (const MixerDelivery::Report& r : reports)
    {
        EXPECT_TRUE(r.finished());
        EXPECT_EQ(r.bytesWritten, static_cast<juce::int64>(stream.size() - 4));
    }
    EXPECT_EQ(first.received, stream);
    EXPECT_EQ(second.received, stream);
}

// Mixers are told apart by their address: a mixer whose send failed comes
// back for a second try and takes its own place; once it has its file, it is
// closed at once when it comes again and takes no place; the other mixer
// still finds the port open and is counted as the second.
TEST_F(UpdateProcedureMixers, AMixerThatComesAgainKeepsItsPlace)
{
    auto procedure = make(2);
    ASSERT_EQ(run(*procedure, Phase::initialise), StageResult::success);
    procedure->start(Phase::connect);
    {
        Mixer resets(mixers, "198.51.100.20", stream.size(), 1000);
        ASSERT_TRUE(ended.wait(20000));
        ASSERT_EQ(procedure->getResult(), StageResult::success);
        procedure->start(Phase::send);
    }
    ASSERT_TRUE(awaitEnd(*procedure, 0, 1));
    EXPECT_FALSE(procedure->getDeliveries()[0].finished());
    {
        Mixer again(mixers, "198.51.100.20", stream.size());
        again.reader.join();
        EXPECT_EQ(again.received, stream);
    }
    ASSERT_TRUE(awaitEnd(*procedure, 0, 2));
    Mixer thirdTime(mixers, "198.51.100.20", stream.size());
    EXPECT_TRUE(thirdTime.closedAtOnce());
    Mixer other(mixers, "198.51.100.21", stream.size());
    ASSERT_TRUE(ended.wait(20000));
    other.reader.join();

    EXPECT_EQ(other.received, stream);
    EXPECT_EQ(procedure->getResult(), StageResult::success);
    const std::vector<MixerDelivery::Report> reports = procedure->getDeliveries();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].address, "198.51.100.20");
    EXPECT_EQ(reports[0].attempt, 2);
    EXPECT_EQ(reports[1].address, "198.51.100.21");
    EXPECT_EQ(reports[1].attempt, 1);
    EXPECT_TRUE(reports[0].finished() && reports[1].finished());
    EXPECT_TRUE(procedure->getTurnedAway().isEmpty());
}

// A second try for one mixer (the window's wait again): a connection from
// another address is closed at once and uses up nothing; the mixer asked for
// still finds the port open and gets the whole stream.
TEST_F(UpdateProcedureMixers, OneMixerFromOneAddressIsStillAwaitedAfterAnotherIsClosed)
{
    auto procedure = make(1, {"198.51.100.21"});
    ASSERT_EQ(run(*procedure, Phase::initialise), StageResult::success);
    procedure->start(Phase::connect);
    Mixer other(mixers, "198.51.100.20", stream.size());
    EXPECT_TRUE(other.closedAtOnce());
    Mixer asked(mixers, "198.51.100.21", stream.size());
    ASSERT_TRUE(ended.wait(20000));
    ASSERT_EQ(procedure->getResult(), StageResult::success);
    EXPECT_EQ(run(*procedure, Phase::send), StageResult::success);
    asked.reader.join();
    EXPECT_EQ(asked.received, stream);
}

// A stop may land at any instant a stage can reach: each row stops the
// procedure at one of them, on the worker as it gets there. The stage ends
// cancelled, every mixer's delivery has ended (cancelled, or finished where
// its last byte went first), and nothing crashes. A throw there instead is a
// failure, not a cancel: the stage and every send still going end with S4.
TEST_F(UpdateProcedureMixers, AStopAtAnyInstantEndsEverythingCancelled)
{
    enum class At
    {
        stageStart, // before the stage's first pass
        sendStart,  // as the send to the mixer of that place starts
        lateInFile, // with all but the last pieces sent
        throwAtSendStart,
    };
    struct Row
    {
        const char* what;
        Phase stage;
        At at;
        int mixersWanted;
        size_t place = 0;
    };
    const Row rows[] = {
        {"before the initialise stage's first pass", Phase::initialise, At::stageStart, 1},
        {"before the connect stage's first pass", Phase::connect, At::stageStart, 1},
        {"before the send stage's first pass, a mixer connected", Phase::send, At::stageStart, 1},
        {"before the send stage's first pass, one of two come", Phase::send, At::stageStart, 2},
        {"as the mixer's send starts", Phase::send, At::sendStart, 1},
        {"between two mixers' sends", Phase::send, At::sendStart, 2, 1},
        {"during the last pieces", Phase::send, At::lateInFile, 1},
        {"a throw as the second mixer's send starts", Phase::send, At::throwAtSendStart, 2, 1},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.what);
        juce::WaitableEvent reached;
        std::atomic<bool> armed{false};
        // On the worker: tell the test, then hold until its stop request.
        const auto holdForTheStop = [&reached]
        {
            reached.signal();
            while (!juce::Thread::currentThreadShouldExit())
                juce::Thread::sleep(1);
        };
        const std::string name = pc.name();
        hooks.workerStarted = [&, name]
        {
            NetNamespace::enter(name);
            if (armed && row.at == At::stageStart)
                holdForTheStop();
        };
        std::atomic<size_t> sendsStarted{0};
        hooks.startThread = [&](juce::Thread& thread)
        {
            const bool atSend = row.at == At::sendStart || row.at == At::throwAtSendStart;
            if (armed && atSend && dynamic_cast<Update*>(&thread) != nullptr &&
                sendsStarted++ == row.place)
            {
                if (row.at == At::throwAtSendStart)
                    throw std::runtime_error("no thread for this mixer");
                holdForTheStop();
            }
            return thread.startThread();
        };
        ended.reset();
        auto procedure = make(row.mixersWanted);
        std::vector<std::unique_ptr<Mixer>> peers;
        for (const Phase stage : {Phase::initialise, Phase::connect, Phase::send})
        {
            if (stage != row.stage)
            {
                procedure->start(stage);
                if (stage == Phase::connect)
                    peers.push_back(
                        std::make_unique<Mixer>(mixers, "198.51.100.20", stream.size()));
                ASSERT_TRUE(ended.wait(20000));
                ASSERT_EQ(procedure->getResult(), StageResult::success);
                continue;
            }
            armed = true;
            procedure->start(stage);
            if (row.mixersWanted == 2 && row.at != At::stageStart)
                peers.push_back(std::make_unique<Mixer>(mixers, "198.51.100.21", stream.size()));
            if (row.at == At::lateInFile)
            {
                const auto late = [&] { return peers[0]->got + 2048 >= stream.size(); };
                for (int i = 0; i < 20000 && !late(); ++i)
                    juce::Thread::sleep(1);
                ASSERT_TRUE(late());
            }
            else if (row.at == At::throwAtSendStart)
                ASSERT_TRUE(ended.wait(20000));
            else
                ASSERT_TRUE(reached.wait(20000));
            procedure->stop();
            break;
        }
        // Late in the file the send may finish before the stop lands: the
        // stage has then succeeded, or, where the stop came after the
        // worker's last look, it is cancelled with that mixer's delivery
        // finished (a Cancel wins for the stage; the mixer's own verdict is
        // what it acknowledged).
        const StageResult stopped =
            row.at == At::throwAtSendStart ? StageResult::code4 : StageResult::cancelled;
        const StageResult result = procedure->getResult();
        EXPECT_TRUE(result == stopped ||
                    (row.at == At::lateInFile && result == StageResult::success))
            << static_cast<int>(result);
        EXPECT_FALSE(procedure->isWaitingForMixers());
        for (const MixerDelivery::Report& r : procedure->getDeliveries())
        {
            EXPECT_TRUE(r.ended);
            EXPECT_TRUE(r.result == stopped || (row.at != At::stageStart && r.finished()))
                << static_cast<int>(r.result);
            EXPECT_TRUE(r.finished() || result != StageResult::success);
        }
        procedure.reset();
        hooks.startThread = nullptr;
    }
}
