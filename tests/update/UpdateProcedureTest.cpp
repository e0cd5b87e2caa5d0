// KVR516_UPDATE, GPL-3.0-or-later.
#include "update/UpdateProcedure.h"
#include "support/NetNamespace.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace
{
// A mixer that connects to the program's port from namespace ns and reads
// want bytes, or what comes within 20 s, on a thread of its own.
struct ReadingMixer
{
    ReadingMixer(const NetNamespace& ns, size_t want)
    {
        ns.runInside(
            [this]
            {
                for (int i = 0; i < 200 && !socket.connect("198.51.100.10", 54000, 1000); ++i)
                    juce::Thread::sleep(10);
            });
        reader = std::thread(
            [this, want]
            {
                const juce::uint32 end = juce::Time::getMillisecondCounter() + 20000;
                char piece[4096];
                while (received.getSize() < want && juce::Time::getMillisecondCounter() < end)
                {
                    if (socket.waitUntilReady(true, 100) != 1)
                        continue;
                    const int n = socket.read(
                        piece, static_cast<int>(std::min(sizeof(piece), want - received.getSize())),
                        false);
                    if (n <= 0)
                        break;
                    received.append(piece, static_cast<size_t>(n));
                }
            });
    }
    juce::StreamingSocket socket;
    juce::MemoryBlock received; // the reader's until it is joined
    std::thread reader;
};
} // namespace

// Two mixers, the second connecting once the first is sent to, their figures
// read all along from another thread: each gets the length and the whole
// file, and each has its own outcome.
TEST(UpdateProcedureMixers, EachOfTwoGetsTheWholeStreamWhileTheirFiguresAreRead)
{
    if (!NetNamespace::isRoot())
        GTEST_SKIP() << "needs root to create network namespaces";
    NetNamespace pc, mixers;
    ASSERT_TRUE(pc.linkTo(mixers, "198.51.100.10/24", "198.51.100.20/24"));
    const juce::TemporaryFile folder;
    ASSERT_TRUE(folder.getFile().createDirectory());
    juce::MemoryBlock file(300 * 1024 + 5);
    juce::Random random(516);
    for (size_t i = 0; i < file.getSize(); ++i)
        file[i] = static_cast<char>(random.nextInt(256));
    std::memcpy(file.getData(), "KVR700X2", 8);
    ASSERT_TRUE(folder.getFile()
                    .getChildFile("KVR516_UPDATE.upd")
                    .replaceWithData(file.getData(), file.getSize()));
    const juce::uint8 length[] = {0x00, 0x04, 0xB0, 0x05};
    juce::MemoryBlock stream(length, sizeof(length));
    stream.append(file.getData(), file.getSize());

    UpdateProcedure::Hooks hooks;
    hooks.programFile = folder.getFile().getChildFile("KVR516_UPDATE");
    const std::string name = pc.name();
    hooks.workerStarted = [name] { NetNamespace::enter(name); };
    juce::WaitableEvent ended;
    UpdateProcedure procedure(
        hooks, [&] { ended.signal(); }, 2);

    procedure.start(Phase::initialise);
    ASSERT_TRUE(ended.wait(20000));
    ASSERT_EQ(procedure.getResult(), StageResult::success);
    procedure.start(Phase::connect);
    ReadingMixer first(mixers, stream.getSize());
    ASSERT_TRUE(ended.wait(20000));
    ASSERT_EQ(procedure.getResult(), StageResult::success);
    EXPECT_TRUE(procedure.isWaitingForMixers());
    procedure.start(Phase::send);
    ReadingMixer second(mixers, stream.getSize());
    while (!ended.wait(1))
        for (const MixerDelivery::Report& r : procedure.getDeliveries())
            EXPECT_LE(r.figures.taken, r.figures.total);
    first.reader.join();
    second.reader.join();

    EXPECT_EQ(procedure.getResult(), StageResult::success);
    EXPECT_FALSE(procedure.isWaitingForMixers());
    const std::vector<MixerDelivery::Report> reports = procedure.getDeliveries();
    ASSERT_EQ(reports.size(), 2u);
    for (const MixerDelivery::Report& r : reports)
    {
        EXPECT_TRUE(r.ended);
        EXPECT_EQ(r.result, StageResult::success);
        EXPECT_EQ(r.bytesWritten, static_cast<juce::int64>(file.getSize()));
    }
    EXPECT_EQ(first.received, stream);
    EXPECT_EQ(second.received, stream);
}
