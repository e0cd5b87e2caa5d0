// KVR516_UPDATE, GPL-3.0-or-later.
//
// The fault matrix: the faults a network and a file system can throw at one
// update, each played against the real stages and network threads. The program
// runs in a network namespace of the test's own, the mixer simulator in a
// second one joined to it by a veth pair. Each row checks what the user sees
// (the message box's text, or the finish screen), that the program then asks
// to quit, what reached the mixer, and, with the threads and descriptors of
// the process, that nothing is left behind.
#include "ControllerHarness.h"

#include "net/Update.h"
#include "support/NetNamespace.h"
#include "support/Simulator.h"
#include "support/SocketTap.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace
{
using Events = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

// Open sockets and event handles of this process: the kinds the network
// stages open. The test's own pipes and files (the mixer simulator's output,
// ss) come and go beside them and are not counted; the update file is looked
// at on its own (readOffset).
int openNetworkHandles()
{
    int n = 0;
    if (DIR* dir = ::opendir("/proc/self/fd"))
    {
        while (const dirent* e = ::readdir(dir))
        {
            char target[256] = {};
            const std::string link = std::string("/proc/self/fd/") + e->d_name;
            if (::readlink(link.c_str(), target, sizeof(target) - 1) <= 0)
                continue;
            const std::string kind(target);
            n += kind.rfind("socket:", 0) == 0 || kind.rfind("anon_inode:", 0) == 0 ? 1 : 0;
        }
        ::closedir(dir);
    }
    return n;
}

// True while an established TCP connection on port 54000 is seen from the
// calling thread's network namespace.
bool connectionOnPort54000()
{
    std::ifstream table("/proc/thread-self/net/tcp");
    std::string line;
    std::getline(table, line); // the heading
    while (std::getline(table, line))
    {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (local.size() > 5 && local.compare(local.size() - 5, 5, ":D2F0") == 0 && state == "01")
            return true;
    }
    return false;
}

// Threads of this process that carry the program's name: the worker and the
// three network threads.
int programThreads()
{
    int n = 0;
    if (DIR* dir = ::opendir("/proc/self/task"))
    {
        while (const dirent* e = ::readdir(dir))
        {
            if (e->d_name[0] == '.')
                continue;
            std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
            std::string name;
            std::getline(comm, name);
            n += name == "KVR516_UPDATE" ? 1 : 0;
        }
        ::closedir(dir);
    }
    return n;
}

// How far this process has read into file, or -1 while it does not hold it open.
long long readOffset(const juce::File& file)
{
    const std::string path = file.getFullPathName().toStdString();
    long long offset = -1;
    if (DIR* dir = ::opendir("/proc/self/fd"))
    {
        while (const dirent* e = ::readdir(dir))
        {
            char target[4096] = {};
            const std::string link = std::string("/proc/self/fd/") + e->d_name;
            if (::readlink(link.c_str(), target, sizeof(target) - 1) <= 0 || path != target)
                continue;
            std::ifstream info(std::string("/proc/self/fdinfo/") + e->d_name);
            std::string key;
            while (info >> key)
            {
                if (key == "pos:")
                {
                    info >> offset;
                    break;
                }
            }
        }
        ::closedir(dir);
    }
    return offset;
}

// Ends the test process when a call on the message thread does not return in
// time: a hang becomes a failure with a message rather than a stuck CI run.
class Watchdog
{
public:
    Watchdog(const char* what, std::chrono::seconds limit)
        : thread(
              [this, what, limit]
              {
                  std::unique_lock<std::mutex> lock(mutex);
                  if (!done.wait_for(lock, limit, [this] { return finished; }))
                  {
                      std::fprintf(stderr, "hang: %s did not return within %d s\n", what,
                                   static_cast<int>(limit.count()));
                      std::abort();
                  }
              })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            finished = true;
        }
        done.notify_all();
        thread.join();
    }

private:
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::thread thread;
};

// A socket of another program that holds a port exclusively (no address reuse).
class PortHolder
{
public:
    PortHolder(const NetNamespace& ns, int type, int port)
    {
        ns.runInside(
            [&]
            {
                fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
                sockaddr_in a{};
                a.sin_family = AF_INET;
                a.sin_port = htons(static_cast<std::uint16_t>(port));
                a.sin_addr.s_addr = htonl(INADDR_ANY);
                held = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0 &&
                       (type != SOCK_STREAM || ::listen(fd, 4) == 0);
            });
    }
    ~PortHolder()
    {
        if (fd >= 0)
            ::close(fd);
    }
    bool ok() const { return held; }

private:
    int fd = -1;
    bool held = false;
};

class FaultMatrix : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!NetNamespace::isRoot())
            GTEST_SKIP() << "needs root: the program and the mixer run in network namespaces";
        ASSERT_TRUE(programNs.ok() && mixerNs.ok());
        ASSERT_TRUE(folder.createDirectory());
    }

    void TearDown() override
    {
        ui.reset();
        folder.deleteRecursively();
    }

    bool link() { return programNs.linkTo(mixerNs, "198.51.100.10/24", "198.51.100.20/24"); }

    juce::File program() const { return folder.getChildFile("KVR516_UPDATE"); }
    juce::File updateFile() const { return folder.getChildFile("KVR516_UPDATE.upd"); }

    // The tag, then size - 8 bytes of noise.
    void writeUpdateFile(size_t size)
    {
        juce::MemoryBlock data(size);
        auto* bytes = static_cast<std::uint8_t*>(data.getData());
        juce::Random random(54000);
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<std::uint8_t>(random.nextInt(256));
        std::memcpy(bytes, "KVR700X2", 8);
        ASSERT_TRUE(updateFile().replaceWithData(data.getData(), data.getSize()));
    }

    // The program's window content with the real stages in the program's
    // namespace, on the English language screen.
    // startThread, when given, starts each stage's thread in place of the program.
    void start(std::function<void()> workerStarted = {},
               std::function<bool(juce::Thread&)> startThread = {})
    {
        ui.reset(); // one program at a time, as in life
        ui = std::make_unique<ControllerHarness>();
        MainComponent::Hooks hooks = ui->recordingHooks();
        hooks.programFile = program();
        hooks.startThread = std::move(startThread);
        const std::string ns = programNs.name();
        hooks.workerStarted = [ns, workerStarted]
        {
            NetNamespace::enter(ns);
            if (workerStarted)
                workerStarted();
        };
        ui->start(std::move(hooks));
        ui->chooseLanguage(0);
    }

    // OK on the language screen: the initialise stage runs.
    void toReady()
    {
        ui->pressLeft();
        ASSERT_TRUE(ui->pumpUntil([&] { return ui->phase() == 2; }, 30000)) << describe();
    }

    // START on the ready screen: the connect stage runs.
    void pressStart()
    {
        ui->pressLeft();
        ASSERT_EQ(ui->phase(), 3);
    }

    bool untilQuit(int ms = 60000)
    {
        return ui->pumpUntil([&] { return ui->quitCount() > 0; }, ms);
    }

    bool untilPhase(int phase, int ms = 60000)
    {
        return ui->pumpUntil([&] { return ui->phase() == phase; }, ms);
    }

    std::string describe() const
    {
        std::string text = "phase " + std::to_string(ui->phase()) + ", events:";
        for (const auto& e : ui->events())
            text += " [" + e + "]";
        for (const auto& t : ui->boxTexts())
            text += " \"" + t + "\"";
        return text;
    }

    // The mixer simulator in the mixer's namespace. It connects after the second
    // good datagram: the port listens before the first goes out.
    std::unique_ptr<Simulator> mixer(std::vector<std::string> arguments = {})
    {
        arguments.insert(arguments.end(), {"--datagrams", "2", "--timeout", "60"});
        auto s = std::make_unique<Simulator>(mixerNs.name(), arguments);
        EXPECT_TRUE(s->started());
        return s;
    }

    // Runs fn on the message thread under a watchdog; returns how long it took.
    double timed(const char* what, const std::function<void()>& fn)
    {
        Watchdog dog(what, std::chrono::seconds(20));
        const auto from = Clock::now();
        fn();
        return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
    }

    // The program's own threads have ended.
    bool threadsEnded()
    {
        return ui->pumpUntil([] { return programThreads() == 0; }, 10000);
    }

    NetNamespace programNs;
    NetNamespace mixerNs;
    juce::File folder = juce::File::createTempFile("kvr-faults");
    std::unique_ptr<ControllerHarness> ui;
};

const std::string s1 = "Cannot find the UpdateFile_S1";
const std::string s2 = "A problem occurred while sending the file_S2";
const std::string s3 = "A problem occurred while sending the file_S3";
} // namespace

// 1. The mixer resets the connection as soon as it is made: the length cannot
//    be written. The send stage's transfer starts only once the reset has
//    reached the program (no connection on the port any more), so the length
//    meets the reset every time.
TEST_F(FaultMatrix, MixerResetsRightAfterConnectingShowsS2)
{
    ASSERT_TRUE(link());
    writeUpdateFile(64 * 1024);
    auto sim = mixer({"--fault", "reset-on-connect"});
    std::atomic<bool> resetSeen{false};
    start({},
          [&](juce::Thread& t)
          {
              if (dynamic_cast<Update*>(&t) != nullptr)
              {
                  const auto end = Clock::now() + std::chrono::seconds(20);
                  while (connectionOnPort54000() && Clock::now() < end)
                      juce::Thread::sleep(1);
                  resetSeen = !connectionOnPort54000();
              }
              return t.startThread();
          });
    toReady();
    pressStart();
    ASSERT_TRUE(untilQuit()) << describe();
    EXPECT_TRUE(resetSeen);
    EXPECT_EQ(ui->events(), (Events{"box 33", "quit"}));
    EXPECT_EQ(ui->boxTexts(), std::vector<std::string>{s2});
    EXPECT_EQ(sim->exitCode(), 0) << sim->summary(std::chrono::milliseconds(0));
}

// 1b. The mixer resets after part of the length: the 4 bytes were handed over
//     in one write that succeeded, so it is the first piece that fails.
TEST_F(FaultMatrix, MixerResetsWithinTheLengthShowsS3)
{
    ASSERT_TRUE(link());
    writeUpdateFile(256 * 1024);
    for (const char* part : {"1", "2", "3"})
    {
        SCOPED_TRACE(std::string("length bytes read: ") + part);
        auto sim = mixer({"--fault", std::string("reset-in-length:") + part});
        start();
        toReady();
        pressStart();
        ASSERT_TRUE(untilQuit()) << describe();
        EXPECT_EQ(ui->boxTexts(), std::vector<std::string>{s3});
        EXPECT_EQ(Simulator::field(sim->summary(), "result"), "ok");
        ui.reset();
    }
}

// 2. The mixer resets after N content bytes, N at and around the boundaries
//    of the 1024-byte pieces: the next piece fails, never success.
TEST_F(FaultMatrix, MixerResetsAfterNContentBytesShowsS3)
{
    ASSERT_TRUE(link());
    writeUpdateFile(256 * 1024 + 100);
    for (int n : {0, 1, 1023, 1024, 1025, 2047, 2048, 2049, 8192, 100000})
    {
        SCOPED_TRACE("reset after " + std::to_string(n) + " content bytes");
        auto sim = mixer({"--fault", "reset-after:" + std::to_string(n)});
        start();
        toReady();
        pressStart();
        ASSERT_TRUE(untilQuit()) << describe();
        EXPECT_EQ(ui->events(), (Events{"box 34", "quit"}));
        EXPECT_EQ(ui->boxTexts(), std::vector<std::string>{s3});
        const std::string line = sim->summary();
        EXPECT_EQ(Simulator::field(line, "received"), std::to_string(n)) << line;
        EXPECT_EQ(Simulator::field(line, "length"), std::to_string(256 * 1024 + 100)) << line;
        ui.reset();
    }
}

// 3. The mixer connects and never reads: the buffers fill and the write waits;
//    Cancel still ends the send stage at once.
TEST_F(FaultMatrix, MixerThatNeverReadsCanBeCancelled)
{
    ASSERT_TRUE(link());
    writeUpdateFile(32 * 1024 * 1024);
    auto sim = mixer({"--fault", "no-read"});
    start();
    toReady();
    const int handlesBefore = openNetworkHandles();
    pressStart();
    ASSERT_TRUE(untilPhase(4)) << describe();

    // The buffers are full once the program's send queue stops moving.
    std::string last;
    int same = 0;
    ASSERT_TRUE(ui->pumpUntil(
        [&]
        {
            std::string queue;
            FILE* ss = ::popen(("ip netns exec " + programNs.name() +
                                " ss -Htn state established '( sport = :54000 )' 2>/dev/null")
                                   .c_str(),
                               "r");
            char line[512] = {};
            if (ss != nullptr)
            {
                if (std::fgets(line, sizeof(line), ss) != nullptr)
                    queue = line;
                ::pclose(ss);
            }
            // Recv-Q, then Send-Q: a full send queue is not 0.
            unsigned long recvQ = 0, sendQ = 0;
            const bool parsed = std::sscanf(queue.c_str(), "%lu %lu", &recvQ, &sendQ) == 2;
            same = parsed && sendQ > 0 && queue == last ? same + 1 : 0;
            last = queue;
            return same >= 5;
        },
        60000))
        << "the send queue never filled: " << last;
    EXPECT_EQ(ui->phase(), 4);

    const double ms = timed("Cancel while the write waits", [&] { ui->pressRight(); });
    std::cout << "[ figures  ] Cancel with full buffers returned after " << ms << " ms\n";
    // The worker notices the stop within its 10 ms poll, the transfer within
    // one 10 ms wait for room; its release allows 100 ms. A Cancel that waited
    // for the mixer would never return (the watchdog ends the test at 20 s);
    // the bound leaves room for the sanitizer builds on a busy machine.
    EXPECT_LT(ms, 10000.0);
    EXPECT_EQ(ui->events(), (Events{"box 13", "quit"}));
    EXPECT_EQ(ui->boxTexts(), std::vector<std::string>{"Sending cancel."});
    EXPECT_TRUE(threadsEnded());
    // Kept until the end: the mixer's connection alone.
    EXPECT_EQ(openNetworkHandles(), handlesBefore + 1);
    EXPECT_EQ(readOffset(updateFile()), -1);
}

// 4. A slow mixer (1 KiB every 5 ms): the whole file arrives byte-exact.
TEST_F(FaultMatrix, SlowMixerGetsTheWholeFile)
{
    ASSERT_TRUE(link());
    writeUpdateFile(300 * 1024 + 3);
    auto sim =
        mixer({"--fault", "slow-read", "--expect", updateFile().getFullPathName().toStdString()});
    start();
    toReady();
    pressStart();
    ASSERT_TRUE(untilPhase(5)) << describe();
    EXPECT_TRUE(ui->events().empty()) << describe();
    const std::string line = sim->summary();
    EXPECT_EQ(Simulator::field(line, "result"), "ok") << line;
    EXPECT_EQ(Simulator::field(line, "received"), std::to_string(300 * 1024 + 3)) << line;
}

// 5. Two peers connect: the first is served, the second never gets a byte
//    and is refused, reset or closed within 1 s.
TEST_F(FaultMatrix, OnlyTheFirstOfTwoPeersIsServed)
{
    ASSERT_TRUE(link());
    writeUpdateFile(100 * 1024);
    auto sim = mixer(
        {"--fault", "second-connection", "--expect", updateFile().getFullPathName().toStdString()});
    start();
    toReady();
    pressStart();
    ASSERT_TRUE(untilPhase(5)) << describe();
    const std::string line = sim->summary();
    EXPECT_EQ(Simulator::field(line, "result"), "ok") << line;
    EXPECT_EQ(Simulator::field(line, "second_bytes"), "0") << line;
    const std::string closed = Simulator::field(line, "second_closed_ms"); // "none": still open
    EXPECT_TRUE(!closed.empty() && closed != "none" && std::stod(closed) <= 1000.0) << line;
}

// 6. Another program holds TCP port 54000 exclusively: nothing is announced,
//    since no mixer could connect.
TEST_F(FaultMatrix, TcpPortHeldByAnotherProgramShowsC1)
{
    ASSERT_TRUE(link());
    writeUpdateFile(4096);
    PortHolder other(programNs, SOCK_STREAM, 54000);
    ASSERT_TRUE(other.ok());
    Simulator listening(mixerNs.name(), {"--datagrams", "1", "--timeout", "1"});
    start();
    toReady();
    pressStart();
    ASSERT_TRUE(untilQuit()) << describe();
    EXPECT_EQ(ui->events(), (Events{"box 23", "quit"}));
    EXPECT_EQ(ui->boxTexts(), std::vector<std::string>{"Cannot connect the MIXER_C1"});
    EXPECT_TRUE(threadsEnded());
    EXPECT_EQ(Simulator::field(listening.summary(), "datagrams"), "0");
}

// 6b. Broadcast cannot make its socket (the process has no descriptor
//     left for it): "C2" once the port listens, no datagram, no thread left.
TEST_F(FaultMatrix, AnnouncerWithoutASocketShowsC2)
{
    ASSERT_TRUE(link());
    writeUpdateFile(4096);
    Simulator listening(mixerNs.name(), {"--datagrams", "1", "--timeout", "1"});
    start();
    toReady();
    SocketTap::failDatagramSockets(true);
    pressStart();
    const bool quit = untilQuit();
    SocketTap::failDatagramSockets(false);
    ASSERT_TRUE(quit) << describe();
    EXPECT_EQ(ui->events(), (Events{"box 24", "quit"}));
    EXPECT_EQ(ui->boxTexts(), std::vector<std::string>{"Cannot connect the MIXER_C2"});
    EXPECT_TRUE(threadsEnded());
    EXPECT_EQ(Simulator::field(listening.summary(), "datagrams"), "0");
}

// 6c. The only network's address goes once the program waits for the mixer:
//     it says it is on no network and waits past the 3 s that end an
//     announcing refused everywhere (coming back: console_rows.sh).
TEST_F(FaultMatrix, OnlyLoopbackListedWhileWaitingKeepsWaiting)
{
    ASSERT_TRUE(link());
    writeUpdateFile(4096);
    start();
    toReady();
    pressStart();
    ASSERT_TRUE(programNs.ip("-4 addr flush to 198.51.100.0/24"));
    const UpdateProcedure& procedure = ui->component().getProcedure();
    ASSERT_TRUE(ui->pumpUntil([&] { return procedure.isOnNoNetwork(); })) << describe();
    EXPECT_FALSE(untilQuit(4000)) << describe();
    EXPECT_TRUE(procedure.isOnNoNetwork());
}

// 7. Another program holds UDP port 56000: the datagrams leave from another
//    port and the delivery succeeds.
TEST_F(FaultMatrix, UdpPortHeldByAnotherProgramStillDelivers)
{
    ASSERT_TRUE(link());
    writeUpdateFile(50 * 1024);
    PortHolder other(programNs, SOCK_DGRAM, 56000);
    ASSERT_TRUE(other.ok());
    auto sim = mixer({"--expect", updateFile().getFullPathName().toStdString()});
    start();
    toReady();
    pressStart();
    ASSERT_TRUE(untilPhase(5)) << describe();
    EXPECT_TRUE(ui->events().empty()) << describe();
    const std::string line = sim->summary();
    EXPECT_EQ(Simulator::field(line, "result"), "ok") << line;
    EXPECT_NE(Simulator::field(line, "ports"), "56000") << line;
}

// 8. The update file is deleted between the check and START.
TEST_F(FaultMatrix, UpdateFileDeletedBeforeStartShowsS1AndSendsNothing)
{
    ASSERT_TRUE(link());
    writeUpdateFile(4096);
    start();
    toReady();
    ASSERT_TRUE(updateFile().deleteFile());
    auto sim = mixer();
    pressStart();
    ASSERT_TRUE(untilQuit()) << describe();
    EXPECT_EQ(ui->events(), (Events{"box 32", "quit"}));
    EXPECT_EQ(ui->boxTexts(), std::vector<std::string>{s1});
    ui.reset(); // the program ends: the connection closes
    const std::string line = sim->summary();
    EXPECT_EQ(Simulator::field(line, "length"), "-1") << line;
    EXPECT_EQ(Simulator::field(line, "received"), "0") << line;
}

// 9. The update file is replaced by one without the tag between the check
//    and START: nothing is sent, not even the length.
TEST_F(FaultMatrix, UpdateFileReplacedByAnUntaggedOneShowsS1AndSendsNothing)
{
    ASSERT_TRUE(link());
    writeUpdateFile(4096);
    start();
    toReady();
    ASSERT_TRUE(updateFile().replaceWithText("KVR700X1 this is some other mixer's firmware"));
    auto sim = mixer();
    pressStart();
    ASSERT_TRUE(untilQuit()) << describe();
    EXPECT_EQ(ui->events(), (Events{"box 32", "quit"}));
    EXPECT_EQ(ui->boxTexts(), std::vector<std::string>{s1});
    ui.reset();
    const std::string line = sim->summary();
    EXPECT_EQ(Simulator::field(line, "length"), "-1") << line;
    EXPECT_EQ(Simulator::field(line, "received"), "0") << line;
}

// 10. The update file shrinks while it is sent: fewer bytes than the length
//     announced can follow, which is a failure, never success.
TEST_F(FaultMatrix, UpdateFileShrinkingDuringTheTransferShowsS3)
{
    ASSERT_TRUE(link());
    const int size = 3 * 1024 * 1024;
    writeUpdateFile(static_cast<size_t>(size));
    auto sim = mixer();
    start();
    toReady();
    pressStart();
    // The transfer has taken the size, announced it and sent a few pieces.
    ASSERT_TRUE(ui->pumpUntil([&] { return readOffset(updateFile()) >= 8192; }, 30000))
        << describe();
    ASSERT_EQ(::truncate(updateFile().getFullPathName().toRawUTF8(), 4096), 0);
    ASSERT_TRUE(untilQuit()) << describe();
    EXPECT_EQ(ui->events(), (Events{"box 34", "quit"}));
    EXPECT_EQ(ui->boxTexts(), std::vector<std::string>{s3});
    ui.reset();
    const std::string line = sim->summary();
    EXPECT_EQ(Simulator::field(line, "length"), std::to_string(size)) << line;
    EXPECT_EQ(Simulator::field(line, "result"), "short") << line;
}

// 11. Only the loopback interface.
TEST_F(FaultMatrix, OnlyLoopbackShowsI9)
{
    writeUpdateFile(4096);
    start();
    ui->pressLeft();
    ASSERT_TRUE(untilQuit()) << describe();
    EXPECT_EQ(ui->events(), (Events{"box 22", "quit"}));
    EXPECT_EQ(ui->boxTexts(), std::vector<std::string>{"Cannot find the Network Interface_I9"});
}

// 11b. More IPv4 addresses than the platform's first answer has room for
//      (127.0.0.1 and 20 more make 21): all are listed, the ready screen follows.
TEST_F(FaultMatrix, MoreThanTwentyAddressesReachTheReadyScreen)
{
    writeUpdateFile(4096);
    for (int i = 1; i <= 20; ++i)
        ASSERT_TRUE(programNs.ip("addr add 203.0.113." + std::to_string(i) + "/32 dev lo"));

    start();
    toReady();
    EXPECT_TRUE(ui->events().empty()) << describe();
}

// 12. The window's close button in every phase: the stage's cancel message
//     where a stage runs, nothing elsewhere; then quit.
TEST_F(FaultMatrix, CloseButtonInEveryPhase)
{
    ASSERT_TRUE(link());
    writeUpdateFile(8 * 1024 * 1024);

    {
        SCOPED_TRACE("phase 0, language");
        start();
        ui->pressClose();
        EXPECT_EQ(ui->events(), Events{"quit"});
    }
    {
        SCOPED_TRACE("phase 1, initialise");
        // The initialise stage waits for the close before it checks anything.
        std::atomic<bool> entered{false};
        start(
            [&]
            {
                auto* worker = juce::Thread::getCurrentThread();
                if (entered.exchange(true))
                    return;
                const auto end = Clock::now() + std::chrono::seconds(20);
                while (!worker->threadShouldExit() && Clock::now() < end)
                    worker->wait(10);
            });
        ui->pressLeft();
        ASSERT_EQ(ui->phase(), 1);
        ASSERT_TRUE(ui->pumpUntil([&] { return entered.load(); }));
        timed("close during initialise", [&] { ui->pressClose(); });
        EXPECT_EQ(ui->events(), (Events{"box 11", "quit"}));
        EXPECT_EQ(ui->boxTexts(), std::vector<std::string>{"Initialize cancel."});
    }
    {
        SCOPED_TRACE("phase 2, ready");
        start();
        toReady();
        ui->pressClose();
        EXPECT_EQ(ui->events(), Events{"quit"});
    }
    {
        SCOPED_TRACE("phase 3, waiting for the mixer");
        start();
        toReady();
        pressStart();
        timed("close while waiting", [&] { ui->pressClose(); });
        EXPECT_EQ(ui->events(), (Events{"box 12", "quit"}));
        EXPECT_EQ(ui->boxTexts(), std::vector<std::string>{"Connecting cancel."});
        EXPECT_TRUE(threadsEnded());
    }
    {
        SCOPED_TRACE("phase 4, sending");
        auto sim = mixer();
        start();
        toReady();
        pressStart();
        ASSERT_TRUE(untilPhase(4)) << describe();
        timed("close while sending", [&] { ui->pressClose(); });
        EXPECT_EQ(ui->events(), (Events{"box 13", "quit"}));
        EXPECT_EQ(ui->boxTexts(), std::vector<std::string>{"Sending cancel."});
        EXPECT_TRUE(threadsEnded());
    }
    {
        SCOPED_TRACE("phase 5, finished");
        writeUpdateFile(20 * 1024);
        auto sim = mixer();
        start();
        toReady();
        pressStart();
        ASSERT_TRUE(untilPhase(5)) << describe();
        ui->pressClose();
        EXPECT_EQ(ui->events(), Events{"quit"});
    }
}

// 13. The system quits the program while it sends (as at log-off): the window
//     goes without a box, and the send stage stops at its next poll.
TEST_F(FaultMatrix, SystemQuitWhileSendingEndsWithoutABox)
{
    ASSERT_TRUE(link());
    writeUpdateFile(16 * 1024 * 1024);
    auto sim = mixer({"--fault", "no-read"});
    start();
    toReady();
    pressStart();
    ASSERT_TRUE(untilPhase(4)) << describe();
    // The quit request ends the message loop; shutdown deletes the window and
    // with it the component.
    std::vector<std::string> events;
    const double ms = timed("the component's destruction while sending",
                            [&]
                            {
                                ControllerHarness& h = *ui;
                                h.destroy();
                                events = h.events();
                            });
    std::cout << "[ figures  ] destruction while sending took " << ms << " ms\n";
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(threadsEnded());
}

// Resource hygiene: nothing of the program's own keeps running, and no
// descriptor is left beyond those it keeps on purpose.
TEST_F(FaultMatrix, NothingLeftAfterACancelledConnectStage)
{
    ASSERT_TRUE(link());
    writeUpdateFile(4096);
    start();
    toReady();
    const int before = openNetworkHandles();
    pressStart();
    // The worker, Broadcast and the listener run.
    ASSERT_TRUE(ui->pumpUntil([] { return programThreads() == 3; })) << programThreads();
    ui->pressRight();
    EXPECT_EQ(ui->boxTexts(), std::vector<std::string>{"Connecting cancel."});
    EXPECT_TRUE(threadsEnded());
    EXPECT_EQ(openNetworkHandles(), before);
}

TEST_F(FaultMatrix, NothingLeftAfterAFinishedDelivery)
{
    ASSERT_TRUE(link());
    writeUpdateFile(64 * 1024);
    auto sim = mixer({"--expect", updateFile().getFullPathName().toStdString()});
    start();
    toReady();
    const int before = openNetworkHandles();
    pressStart();
    ASSERT_TRUE(untilPhase(5)) << describe();
    EXPECT_EQ(Simulator::field(sim->summary(), "result"), "ok");
    EXPECT_TRUE(threadsEnded());
    // The mixer's connection alone: the announcing ended with the intake.
    EXPECT_EQ(openNetworkHandles(), before + 1);
    EXPECT_EQ(readOffset(updateFile()), -1);
    ui->pressLeft();
    EXPECT_EQ(ui->events(), Events{"quit"});
    ui->destroy();
    EXPECT_EQ(openNetworkHandles(), before);
}
