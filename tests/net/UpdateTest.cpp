// KVR516_UPDATE, GPL-3.0-or-later.
#include "net/Update.h"
#include "net/LoopbackPair.h"
#include "net/SendTap.h"
#include "support/Await.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// A folder with a program file name in it; the update file lies beside it.
class UpdateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.createDirectory());
        ASSERT_TRUE(pair.ok());
        SendTap::watch(pair.programSide()->getRawSocketHandle());
    }

    void TearDown() override
    {
        SendTap::stop();
        folder.deleteRecursively();
    }

    // A file of size bytes that starts with the tag and goes on with noise.
    std::string makeFile(std::size_t size, const char* start = "KVR700X2")
    {
        std::string bytes(size, '\0');
        std::mt19937 noise(static_cast<unsigned>(size));
        for (auto& b : bytes)
            b = static_cast<char>(noise());
        for (std::size_t i = 0; i < size && start[i] != 0; ++i)
            bytes[i] = start[i];
        EXPECT_TRUE(updateFile().replaceWithData(bytes.data(), bytes.size()));
        checked = {static_cast<juce::int64>(size), Sha256::of(bytes.data(), size).value()};
        return bytes;
    }

    juce::File updateFile() const { return folder.getChildFile("Updater.upd"); }

    static std::string lengthOf(std::uint32_t n)
    {
        return {static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
                static_cast<char>(n)};
    }

    // Starts the transfer and waits for its final status.
    Update::Status runTransfer(Update& update)
    {
        update.startThread();
        Update::Status status = Update::Status::running;
        EXPECT_TRUE(
            Await::until([&] { return (status = update.getStatus()) != Update::Status::running; }));
        return status;
    }

    juce::File folder = juce::File::createTempFile("kvr-update");
    UpdateFile::Measure checked; // as the check measured the last file made
    juce::File program = folder.getChildFile("Updater");
    LoopbackPair pair;
};

std::vector<long> pieces(long size)
{
    std::vector<long> writes{4};
    for (; size > 0; size -= 1024)
        writes.push_back(std::min(size, 1024L));
    return writes;
}
} // namespace

TEST_F(UpdateTest, StreamsLengthThenContentInPiecesOfAtMost1024)
{
    for (const long size : {8L, 1023L, 1024L, 1025L, 2048L, 2500L})
    {
        SCOPED_TRACE(size);
        SendTap::watch(pair.programSide()->getRawSocketHandle());
        const std::string content = makeFile(static_cast<std::size_t>(size));

        Update update(pair.programSide(), program, checked);
        EXPECT_EQ(runTransfer(update), Update::Status::done);

        EXPECT_EQ(pair.read(4 + content.size()),
                  lengthOf(static_cast<std::uint32_t>(size)) + content);
        EXPECT_TRUE(pair.nothingPending());
        EXPECT_EQ(SendTap::requested(), pieces(size));
    }
}

TEST_F(UpdateTest, WorkedExampleOf2500Bytes)
{
    makeFile(2500);
    Update update(pair.programSide(), program, checked);
    EXPECT_EQ(runTransfer(update), Update::Status::done);
    EXPECT_EQ(pair.read(4), std::string("\x00\x00\x09\xC4", 4));
    EXPECT_EQ(SendTap::requested(), (std::vector<long>{4, 1024, 1024, 452}));
}

// Thousands of pieces, so that the pause has learnt how early to stop sleeping.
TEST_F(UpdateTest, SeveralMebibytesArriveByteExactPacedAndTheConnectionStaysOpen)
{
    const std::string content = makeFile(3 * 1024 * 1024 + 123);
    Update update(pair.programSide(), program, checked);
    update.startThread();

    EXPECT_EQ(pair.read(4 + content.size(), std::chrono::seconds(60)),
              lengthOf(static_cast<std::uint32_t>(content.size())) + content);
    EXPECT_TRUE(Await::until([&] { return update.getStatus() != Update::Status::running; }));
    EXPECT_EQ(update.getStatus(), Update::Status::done);
    EXPECT_TRUE(pair.programSide()->isConnected());
    EXPECT_TRUE(pair.nothingPending());

    // Each piece is followed by at least 1 ms from the end of its write,
    // whatever the thread does in between.
    const std::vector<SendTap::Span> spans = SendTap::spans();
    std::size_t tooShort = 0;
    for (std::size_t i = 2; i < spans.size(); ++i)
        tooShort += spans[i].begin - spans[i - 1].end < std::chrono::milliseconds(1) ? 1 : 0;
    EXPECT_EQ(tooShort, 0u);
}

TEST_F(UpdateTest, WritesThatHandOverLessAreCompletedBeforeTheNextPiece)
{
    const std::string content = makeFile(2500);
    SendTap::limitEachSend(100);
    Update update(pair.programSide(), program, checked);
    EXPECT_EQ(runTransfer(update), Update::Status::done);
    EXPECT_EQ(pair.read(4 + content.size()), lengthOf(2500) + content);
}

TEST_F(UpdateTest, TooShortOrUntaggedFilesAreNotSentAtAll)
{
    makeFile(0);
    {
        Update update(pair.programSide(), program, checked);
        EXPECT_EQ(runTransfer(update), Update::Status::noFile);
    }
    makeFile(7, "KVR700X");
    {
        Update update(pair.programSide(), program, checked);
        EXPECT_EQ(runTransfer(update), Update::Status::noFile);
    }
    makeFile(4000, "kvr700x2");
    {
        Update update(pair.programSide(), program, checked);
        EXPECT_EQ(runTransfer(update), Update::Status::noFile);
    }
    EXPECT_TRUE(SendTap::requested().empty());
    EXPECT_TRUE(pair.nothingPending());
}

TEST_F(UpdateTest, MissingFileOrFolderInItsPlaceIsNotSent)
{
    {
        Update update(pair.programSide(), program, checked);
        EXPECT_EQ(runTransfer(update), Update::Status::noFile);
    }
    ASSERT_TRUE(updateFile().createDirectory());
    {
        Update update(pair.programSide(), program, checked);
        EXPECT_EQ(runTransfer(update), Update::Status::noFile);
    }
    EXPECT_TRUE(SendTap::requested().empty());
    EXPECT_TRUE(pair.nothingPending());
}

// Opening a named pipe for reading waits for a writer: the transfer refuses it
// at once, and its thread ends by itself, so nobody has to stop it.
TEST_F(UpdateTest, NamedPipeInTheFilesPlaceIsNotSentAndTheThreadEnds)
{
    const std::string path = updateFile().getFullPathName().toStdString();
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    Update update(pair.programSide(), program, checked);
    update.startThread();
    const bool ended = Await::until([&] { return !update.isThreadRunning(); });
    if (!ended) // a writer lets an open that waits go: the test fails rather than hangs
        ::close(::open(path.c_str(), O_WRONLY | O_NONBLOCK));
    EXPECT_TRUE(ended);
    EXPECT_EQ(update.getStatus(), Update::Status::noFile);
    EXPECT_TRUE(SendTap::requested().empty());
}

TEST_F(UpdateTest, FileWhoseSizeCannotBeAnnouncedIsNotSent)
{
    makeFile(8);
    {
        juce::FileOutputStream out(updateFile());
        ASSERT_TRUE(out.openedOk());
    }
    // Sparse: 4 GiB that take no room.
    const int fd = ::open(updateFile().getFullPathName().toRawUTF8(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 0x100000000LL), 0);
    ::close(fd);

    Update update(pair.programSide(), program, checked);
    EXPECT_EQ(runTransfer(update), Update::Status::noFile);
    EXPECT_TRUE(SendTap::requested().empty());
}

TEST_F(UpdateTest, TagReplacedAfterConstructionIsNotSent)
{
    makeFile(3000);
    Update update(pair.programSide(), program, checked);
    makeFile(3000, "XXXXXXXX");
    EXPECT_EQ(runTransfer(update), Update::Status::noFile);
    EXPECT_TRUE(SendTap::requested().empty());
}

TEST_F(UpdateTest, ResetBeforeTheLengthIs2AndNoContentFollows)
{
    makeFile(3000);
    ASSERT_TRUE(pair.resetFromPeer());
    Update update(pair.programSide(), program, checked);
    EXPECT_EQ(runTransfer(update), Update::Status::lengthFailed);
    EXPECT_EQ(SendTap::requested(), (std::vector<long>{4}));
}

TEST_F(UpdateTest, ResetMidStreamIs3)
{
    makeFile(5000);
    bool reset = false;
    SendTap::afterSend(2, [&] { reset = pair.resetFromPeer(); });
    Update update(pair.programSide(), program, checked);
    EXPECT_EQ(runTransfer(update), Update::Status::contentFailed);
    EXPECT_TRUE(reset);
    EXPECT_EQ(SendTap::requested(), (std::vector<long>{4, 1024, 1024}));
}

TEST_F(UpdateTest, FileShrunkMidTransferIs3AndNeverMoreThanAnnounced)
{
    const std::string content = makeFile(5000);
    const std::string path = updateFile().getFullPathName().toStdString();
    SendTap::afterSend(2, [&] { ASSERT_EQ(::truncate(path.c_str(), 1500), 0); });
    Update update(pair.programSide(), program, checked);
    EXPECT_EQ(runTransfer(update), Update::Status::contentFailed);

    // The length announced 5000; the first piece went out, the short rest did not.
    EXPECT_EQ(SendTap::requested(), (std::vector<long>{4, 1024}));
    EXPECT_EQ(pair.read(4 + 1024), lengthOf(5000) + content.substr(0, 1024));
    EXPECT_TRUE(pair.nothingPending());
}

TEST_F(UpdateTest, FileReplacedMidTransferStillSendsTheOpenedFile)
{
    const std::string content = makeFile(5000);
    SendTap::afterSend(2, [&] { makeFile(9000); });
    Update update(pair.programSide(), program, checked);
    EXPECT_EQ(runTransfer(update), Update::Status::done);
    EXPECT_EQ(pair.read(5004), lengthOf(5000) + content);
}

// Another program rewrites the file in place, at the same size, while it is
// sent: the mixer got other bytes than those checked, which is no success.
TEST_F(UpdateTest, FileRewrittenInPlaceMidTransferIs1)
{
    makeFile(5000);
    const std::string path = updateFile().getFullPathName().toStdString();
    SendTap::afterSend(2,
                       [&]
                       {
                           const int fd = ::open(path.c_str(), O_WRONLY);
                           ASSERT_EQ(::pwrite(fd, "changed", 7, 3000), 7);
                           ::close(fd);
                       });
    Update update(pair.programSide(), program, checked);
    EXPECT_EQ(runTransfer(update), Update::Status::noFile);
    // The last piece waits for the comparison: the mixer never holds as many
    // bytes as the length announced.
    std::vector<long> allButTheLast = pieces(5000);
    allButTheLast.pop_back();
    EXPECT_EQ(SendTap::requested(), allButTheLast);
}

TEST_F(UpdateTest, StopDuringTheTransferEndsItAndLeavesTheConnectionOpen)
{
    const std::string content = makeFile(10000);
    std::unique_ptr<Update> update = std::make_unique<Update>(pair.programSide(), program, checked);
    SendTap::afterSend(3, [&] { update->signalThreadShouldExit(); });
    EXPECT_EQ(runTransfer(*update), Update::Status::stopped);
    EXPECT_EQ(pair.read(4 + 2048), lengthOf(10000) + content.substr(0, 2048));
    EXPECT_TRUE(pair.nothingPending());
    EXPECT_TRUE(Await::returns([&] { update.reset(); }));
    EXPECT_TRUE(pair.programSide()->isConnected());
}

TEST_F(UpdateTest, DestructionEndsAWriteThatAPeerNeverReads)
{
    makeFile(16 * 1024 * 1024);
    auto update = std::make_unique<Update>(pair.programSide(), program, checked);
    update->startThread();

    // Wait until the buffers are full and a write waits for room.
    std::size_t sends = 0;
    EXPECT_TRUE(Await::until(
        [&]
        {
            const auto now = SendTap::requested().size();
            const bool stalled = now > 100 && now == sends;
            sends = now;
            return stalled;
        },
        std::chrono::seconds(30)));
    EXPECT_EQ(update->getStatus(), Update::Status::running);

    EXPECT_TRUE(Await::returns([&] { update.reset(); }));
    EXPECT_TRUE(pair.programSide()->isConnected());
    EXPECT_TRUE(pair.programSide()->waitUntilReady(false, 0) >= 0);
}
