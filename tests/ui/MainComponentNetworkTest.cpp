// KVR516_UPDATE, GPL-3.0-or-later.
// The real stages: the update file beside a program in a temporary folder,
// the interface list given by the test or taken from a network namespace of
// the test's own, and a mixer played in a second namespace.
#include "ControllerHarness.h"
#include "MixerPeer.h"

#include "net/Broadcast.h"
#include "net/Listener.h"
#include "net/NetworkSetupThread.h"
#include "net/Update.h"
#include "platform/InterfaceQuery.h"
#include "record/ThreadRelease.h"
#include "support/NetNamespace.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstdio>
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

namespace
{
using Events = std::vector<std::string>;

#define SKIP_UNLESS_ROOT()                                                                         \
    if (!NetNamespace::isRoot())                                                                   \
    GTEST_SKIP() << "needs root to create network namespaces"

// A program file in a temporary folder, with or without an update file.
struct ProgramFolder
{
    ProgramFolder() { folder.createDirectory(); }
    ~ProgramFolder() { folder.deleteRecursively(); }

    juce::File program() const { return folder.getChildFile("KVR516_UPDATE"); }
    juce::File updateFile() const { return folder.getChildFile("KVR516_UPDATE.upd"); }

    // Writes an update file: the tag, then size - 8 bytes of a fixed pattern.
    juce::MemoryBlock writeUpdateFile(size_t size) const
    {
        juce::MemoryBlock data(size);
        auto* bytes = static_cast<std::uint8_t*>(data.getData());
        juce::Random random(516);
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<std::uint8_t>(random.nextInt(256));
        std::memcpy(bytes, "KVR700X2", 8);
        updateFile().replaceWithData(data.getData(), data.getSize());
        return data;
    }

    juce::File folder = juce::File::createTempFile("kvr-ui");
};

// An interface list with a fixed outcome, or one that throws.
class FixedQuery : public InterfaceQuery
{
public:
    FixedQuery(Outcome o, std::vector<Entry> e, bool t = false)
        : outcome(o), entries(std::move(e)), throws(t)
    {
    }

    Outcome listIpv4(std::vector<Entry>& out) override
    {
        if (throws)
            throw std::runtime_error("the list");
        out = entries;
        return outcome;
    }

private:
    Outcome outcome;
    std::vector<Entry> entries;
    bool throws;
};

class MainComponentNetworkTest : public ::testing::Test
{
protected:
    // Starts the program's screen with the real stages.
    void start(MainComponent::Hooks extra = {})
    {
        MainComponent::Hooks hooks = ui.recordingHooks();
        hooks.programFile = files.program();
        hooks.interfaceQuery = extra.interfaceQuery;
        hooks.workerStarted = extra.workerStarted;
        ui.start(std::move(hooks));
        ui.chooseLanguage(0);
    }

    // The program in namespace program, the mixer's in namespace mixer.
    bool linkNamespaces()
    {
        return programNs.ok() && mixerNs.ok() &&
               programNs.linkTo(mixerNs, "198.51.100.10/24", "198.51.100.20/24");
    }

    void startInProgramNamespace()
    {
        MainComponent::Hooks hooks;
        const std::string name = programNs.name();
        hooks.workerStarted = [name] { NetNamespace::enter(name); };
        start(std::move(hooks));
    }

    // OK on the language screen, START on the ready screen.
    void pressOkAndStart()
    {
        ui.pressLeft();
        ASSERT_TRUE(ui.pumpUntil([&] { return ui.phase() == 2; }));
        ui.pressLeft();
        ASSERT_EQ(ui.phase(), 3);
    }

    // Whether something listens on TCP port 54000 in the program's namespace,
    // asked of the system so that the question takes no port itself.
    bool port54000IsListening()
    {
        const std::string command =
            programNs.execPrefix() + "ss -Hltn 'sport = :54000' 2>/dev/null";
        FILE* out = ::popen(command.c_str(), "r");
        if (out == nullptr)
            return false;
        char line[512];
        const bool listening = std::fgets(line, sizeof(line), out) != nullptr;
        ::pclose(out);
        return listening;
    }

    ProgramFolder files;
    ControllerHarness ui;
    NetNamespace programNs;
    NetNamespace mixerNs;
};

std::vector<std::uint8_t> expectedStream(const juce::MemoryBlock& file)
{
    const auto size = static_cast<std::uint32_t>(file.getSize());
    std::vector<std::uint8_t> stream{
        static_cast<std::uint8_t>(size >> 24), static_cast<std::uint8_t>(size >> 16),
        static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size)};
    const auto* bytes = static_cast<const std::uint8_t*>(file.getData());
    stream.insert(stream.end(), bytes, bytes + file.getSize());
    return stream;
}
} // namespace

//==============================================================================
// The initialise stage

TEST_F(MainComponentNetworkTest, NoUpdateFileShowsI4)
{
    start();
    ui.pressLeft();
    ASSERT_TRUE(ui.pumpUntil([&] { return ui.quitCount() > 0; }));
    EXPECT_EQ(ui.events(), (Events{"box 17", "quit"}));
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"Cannot find the UpdateFile_I4"});
}

TEST_F(MainComponentNetworkTest, UpdateFileOfAnotherMixerShowsI4)
{
    files.updateFile().replaceWithText("KVR700X1 not for this mixer");
    start();
    ui.pressLeft();
    ASSERT_TRUE(ui.pumpUntil([&] { return ui.quitCount() > 0; }));
    EXPECT_EQ(ui.events(), (Events{"box 17", "quit"}));
}

TEST_F(MainComponentNetworkTest, InterfaceListFailuresShowTheirCodes)
{
    struct Case
    {
        InterfaceQuery::Outcome outcome;
        std::vector<InterfaceQuery::Entry> entries;
        const char* text;
        bool throws = false;
    };
    const InterfaceQuery::Entry loopback{htonl(INADDR_LOOPBACK), htonl(0xFF000000)};
    const Case cases[] = {
        {InterfaceQuery::Outcome::cannotOpen, {}, "Cannot connect to the MIXER_I5"},
        {InterfaceQuery::Outcome::cannotList, {}, "Cannot find the Network Interface_I6"},
        {InterfaceQuery::Outcome::listed, {loopback}, "Cannot find the Network Interface_I9"},
        // Thrown on the check's own thread: the check has no result.
        {InterfaceQuery::Outcome::listed, {}, "Cannot find the UpdateFile_I4", true},
    };

    files.writeUpdateFile(100);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text);
        ControllerHarness run;
        MainComponent::Hooks hooks = run.recordingHooks();
        hooks.programFile = files.program();
        hooks.interfaceQuery = [&c]
        { return std::unique_ptr<InterfaceQuery>(new FixedQuery(c.outcome, c.entries, c.throws)); };
        run.start(std::move(hooks));
        run.chooseLanguage(0);
        run.pressLeft();
        ASSERT_TRUE(run.pumpUntil([&] { return run.quitCount() > 0; }));
        EXPECT_EQ(run.boxTexts(), std::vector<std::string>{c.text});
        EXPECT_EQ(run.events().back(), "quit");
    }
}

TEST_F(MainComponentNetworkTest, GoodFileAndAnInterfaceReachTheReadyScreen)
{
    files.writeUpdateFile(2048);
    MainComponent::Hooks hooks;
    hooks.interfaceQuery = []
    {
        return std::unique_ptr<InterfaceQuery>(new FixedQuery(
            InterfaceQuery::Outcome::listed, {{htonl(0xC6336410), htonl(0xFFFFFF00)}}));
    };
    start(std::move(hooks));
    ui.pressLeft();
    ASSERT_TRUE(ui.pumpUntil([&] { return ui.phase() == 2; }));
    EXPECT_TRUE(ui.events().empty());
    EXPECT_EQ(ui.screen().left, "START");
}

//==============================================================================
// Connect and send, over a veth pair between two namespaces

TEST_F(MainComponentNetworkTest, WholeUpdateReachesTheMixerByteExact)
{
    SKIP_UNLESS_ROOT();
    ASSERT_TRUE(linkNamespaces());
    // Not a multiple of 1024, so that the last piece is a short one.
    const juce::MemoryBlock file = files.writeUpdateFile(200 * 1024 + 77);

    MixerPeer mixer(mixerNs);
    startInProgramNamespace();
    pressOkAndStart();

    ASSERT_TRUE(ui.pumpUntil([&] { return ui.phase() == 5; }, 60000));
    EXPECT_TRUE(ui.events().empty());
    EXPECT_EQ(ui.screen().left, "OK");

    const std::vector<std::uint8_t> announce{0x20, 0x00, 0xD2, 0xF0, 198, 51, 100, 10};
    EXPECT_EQ(mixer.datagram(), announce);
    ASSERT_TRUE(ui.pumpUntil([&] { return mixer.complete(); }, 10000));
    EXPECT_EQ(mixer.received(), expectedStream(file));

    // The connection stays open until the program ends.
    EXPECT_FALSE(mixer.closedByProgram());
    ui.pressLeft();
    EXPECT_EQ(ui.events(), Events{"quit"});
    ui.destroy();
    EXPECT_TRUE(ui.pumpUntil([&] { return mixer.closedByProgram(); }, 10000));
}

TEST_F(MainComponentNetworkTest, PortTakenShowsC1)
{
    SKIP_UNLESS_ROOT();
    ASSERT_TRUE(linkNamespaces());
    files.writeUpdateFile(4096);

    // Another program listens on TCP port 54000 in the program's namespace.
    juce::StreamingSocket other;
    bool listening = false;
    programNs.runInside([&] { listening = other.createListener(54000); });
    ASSERT_TRUE(listening);

    startInProgramNamespace();
    pressOkAndStart();
    ASSERT_TRUE(ui.pumpUntil([&] { return ui.quitCount() > 0; }));
    EXPECT_EQ(ui.events(), (Events{"box 23", "quit"}));
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"Cannot connect the MIXER_C1"});
}

TEST_F(MainComponentNetworkTest, CancelWhileWaitingReleasesTheListener)
{
    SKIP_UNLESS_ROOT();
    ASSERT_TRUE(linkNamespaces());
    files.writeUpdateFile(4096);

    startInProgramNamespace();
    pressOkAndStart();
    // The listener is up once the port is held.
    ASSERT_TRUE(ui.pumpUntil([&] { return port54000IsListening(); }));

    ui.pressRight();
    EXPECT_EQ(ui.events(), (Events{"box 12", "quit"}));
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"Connecting cancel."});
    EXPECT_FALSE(port54000IsListening());
}

TEST_F(MainComponentNetworkTest, CancelWhileSendingKeepsTheConnection)
{
    SKIP_UNLESS_ROOT();
    ASSERT_TRUE(linkNamespaces());
    // Large enough to take several seconds at 1024 bytes a millisecond.
    files.writeUpdateFile(16 * 1024 * 1024);

    MixerPeer mixer(mixerNs);
    startInProgramNamespace();
    pressOkAndStart();
    ASSERT_TRUE(ui.pumpUntil([&] { return ui.phase() == 4; }, 30000));
    EXPECT_EQ(ui.screen().message, "KVR-516helix Connected.\nSending the firmware.");

    ui.pressRight();
    EXPECT_EQ(ui.events(), (Events{"box 13", "quit"}));
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"Sending cancel."});
    EXPECT_FALSE(mixer.complete());
    EXPECT_FALSE(mixer.closedByProgram());

    // The connection closes when the component goes, or, when the sending
    // thread was slow to end its last wait and was given up (a busy machine),
    // once that thread has returned and been deleted.
    ui.destroy();
    EXPECT_TRUE(ui.pumpUntil(
        [&]
        {
            ThreadRelease::givenUp(); // deletes the threads given up that have returned
            return mixer.closedByProgram();
        },
        10000));
    EXPECT_FALSE(mixer.complete());
}

TEST_F(MainComponentNetworkTest, UpdateFileGoneBeforeSendingShowsS1)
{
    SKIP_UNLESS_ROOT();
    ASSERT_TRUE(linkNamespaces());
    files.writeUpdateFile(4096);

    startInProgramNamespace();
    pressOkAndStart();
    ASSERT_TRUE(files.updateFile().deleteFile());

    MixerPeer mixer(mixerNs);
    ASSERT_TRUE(ui.pumpUntil([&] { return ui.quitCount() > 0; }, 30000));
    EXPECT_EQ(ui.events(), (Events{"box 32", "quit"}));
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"Cannot find the UpdateFile_S1"});
    // Not even the length was sent.
    EXPECT_TRUE(mixer.received().empty());
}

//==============================================================================
// Threads that cannot be started

TEST_F(MainComponentNetworkTest, AThreadThatCannotStartEndsItsStageWithItsCode)
{
    SKIP_UNLESS_ROOT();
    using Refuses = std::function<bool(juce::Thread&, int phase)>;
    auto worker = [](int stage) -> Refuses
    {
        // The update's worker: none of the threads it starts.
        return [stage](juce::Thread& t, int phase)
        {
            return phase == stage && !dynamic_cast<NetworkSetupThread*>(&t) &&
                   !dynamic_cast<Broadcast*>(&t) && !dynamic_cast<::Listener*>(&t) &&
                   !dynamic_cast<Update*>(&t);
        };
    };
    struct Case
    {
        const char* thread;
        Refuses refuses;
        const char* text;
    };
    const Case cases[] = {
        {"worker, initialise", worker(1), "Cannot find the EXE file_I3"},
        {"NetworkSetupThread",
         [](juce::Thread& t, int) { return dynamic_cast<NetworkSetupThread*>(&t) != nullptr; },
         "Cannot find the EXE file_I3"},
        {"worker, connect", worker(3), "Cannot connect the MIXER_C3"},
        {"Broadcast", [](juce::Thread& t, int) { return dynamic_cast<Broadcast*>(&t) != nullptr; },
         "Cannot connect the MIXER_C3"},
        {"Listener", [](juce::Thread& t, int) { return dynamic_cast<::Listener*>(&t) != nullptr; },
         "Cannot connect the MIXER_C3"},
        {"worker, send", worker(4), "Send error 4"},
        {"Update", [](juce::Thread& t, int) { return dynamic_cast<Update*>(&t) != nullptr; },
         "Send error 4"},
        // A throw on the worker ends the stage with the same code.
        {"Broadcast, its start throwing",
         [](juce::Thread& t, int) -> bool
         { return dynamic_cast<Broadcast*>(&t) != nullptr ? throw std::bad_alloc() : false; },
         "Cannot connect the MIXER_C3"},
    };

    files.writeUpdateFile(4096);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.thread);
        NetNamespace pc;
        NetNamespace mixerSide;
        ASSERT_TRUE(pc.ok() && mixerSide.ok() &&
                    pc.linkTo(mixerSide, "198.51.100.10/24", "198.51.100.20/24"));
        MixerPeer mixer(mixerSide);

        ControllerHarness run;
        MainComponent::Hooks hooks = run.recordingHooks();
        hooks.programFile = files.program();
        const std::string name = pc.name();
        hooks.workerStarted = [name] { NetNamespace::enter(name); };
        hooks.startThread = [&c, &run](juce::Thread& t)
        { return !c.refuses(t, run.phase()) && t.startThread(); };
        run.start(std::move(hooks));
        run.chooseLanguage(0);

        // OK, and START once the ready screen is there.
        run.pressLeft();
        ASSERT_TRUE(run.pumpUntil([&] { return run.quitCount() > 0 || run.phase() == 2; }));
        if (run.quitCount() == 0)
            run.pressLeft();
        ASSERT_TRUE(run.pumpUntil([&] { return run.quitCount() > 0; }, 30000));
        EXPECT_EQ(run.boxTexts(), std::vector<std::string>{c.text});
        EXPECT_EQ(run.events().back(), "quit");
    }
}
