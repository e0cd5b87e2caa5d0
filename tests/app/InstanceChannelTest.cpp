// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/InstanceChannel.h"
#include "support/MessagePump.h"

#include <juce_events/juce_events.h>

#include <gtest/gtest.h>

#include <future>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
struct ChannelFixture : public ::testing::Test
{
    ChannelFixture() { folder.createDirectory(); }
    ~ChannelFixture() override { folder.deleteRecursively(); }

    juce::String pipePath() const { return folder.getChildFile("channel").getFullPathName(); }

    // Runs the message loop until pred holds or timeoutMs have passed.
    static bool pumpUntil(const std::function<bool()>& pred, int timeoutMs = 10000)
    {
        return MessagePump::until(pred, timeoutMs);
    }

    juce::File folder = juce::File::createTempFile("kvr-channel");
};
} // namespace

TEST_F(ChannelFixture, TextsFromSecondCopiesArriveWholeAndInOrder)
{
    juce::StringArray texts;
    InstanceChannel running([&](const juce::String& text) { texts.add(text); });
    ASSERT_TRUE(running.listen(pipePath()));

    const juce::String first = "KVR516_UPDATE/";
    const juce::String second = juce::String::fromUTF8("KVR516_UPDATE/--a \"b c\" 日本語");
    for (const auto& text : {first, second})
    {
        // A second copy sends from its own process; here from another thread.
        auto sent = std::async(std::launch::async,
                               [&] { return InstanceChannel::send(pipePath(), text, 2000); });
        ASSERT_TRUE(pumpUntil(
            [&] { return sent.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
        EXPECT_TRUE(sent.get());
    }

    ASSERT_TRUE(pumpUntil([&] { return texts.size() == 2; }));
    EXPECT_EQ(texts[0], first);
    EXPECT_EQ(texts[1], second);
}

TEST_F(ChannelFixture, SendingWithNoRunningCopyFails)
{
    EXPECT_FALSE(InstanceChannel::send(pipePath(), "KVR516_UPDATE/", 500));
}

TEST_F(ChannelFixture, SendingToAPipeNobodyReadsGivesUpInTime)
{
    // Left behind by a copy that has gone: the pipe exists, nobody listens.
    ASSERT_EQ(::mkfifo((pipePath() + "_in").toRawUTF8(), 0600), 0);
    ASSERT_EQ(::mkfifo((pipePath() + "_out").toRawUTF8(), 0600), 0);

    auto sent = std::async(std::launch::async, [&]
                           { return InstanceChannel::send(pipePath(), "KVR516_UPDATE/", 500); });
    ASSERT_EQ(sent.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_FALSE(sent.get());
}

TEST_F(ChannelFixture, APipeLeftBehindIsTakenOver)
{
    ASSERT_EQ(::mkfifo((pipePath() + "_in").toRawUTF8(), 0600), 0);
    ASSERT_EQ(::mkfifo((pipePath() + "_out").toRawUTF8(), 0600), 0);

    juce::StringArray texts;
    InstanceChannel running([&](const juce::String& text) { texts.add(text); });
    ASSERT_TRUE(running.listen(pipePath()));
    auto sent = std::async(std::launch::async, [&]
                           { return InstanceChannel::send(pipePath(), "KVR516_UPDATE/x", 2000); });
    ASSERT_TRUE(pumpUntil([&] { return texts.size() == 1; }));
    EXPECT_TRUE(sent.get());
    EXPECT_EQ(texts[0], "KVR516_UPDATE/x");
}

// The console run takes the window's single-instance lock by the name
// lockNameFor gives: held under that name in another process, it makes JUCE's
// own start-up of the window find a copy running, and not once let go.
TEST(InstanceLock, TheConsolesNameIsTheLockTheWindowTakes)
{
    struct Window : juce::JUCEApplicationBase
    {
        explicit Window(const juce::String& n) : name(n) {}
        const juce::String getApplicationName() override { return name; }
        const juce::String getApplicationVersion() override { return "1"; }
        bool moreThanOneInstanceAllowed() override { return false; }
        void initialise(const juce::String&) override {}
        void shutdown() override {}
        void anotherInstanceStarted(const juce::String&) override {}
        void systemRequestedQuit() override {}
        void suspended() override {}
        void resumed() override {}
        void unhandledException(const std::exception*, const juce::String&, int) override {}
        const juce::String name;
    };
    const juce::String name = "KVR516_UPDATE_lock_test_" + juce::String(getpid());
    int held[2], letGo[2];
    ASSERT_EQ(pipe(held), 0);
    ASSERT_EQ(pipe(letGo), 0);
    const pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0)
    {
        juce::InterProcessLock lock(InstanceChannel::lockNameFor(name));
        const char entered = lock.enter(0) ? 1 : 0;
        char any = 0;
        if (write(held[1], &entered, 1) == 1 && read(letGo[0], &any, 1) >= 0)
            lock.exit();
        _exit(0);
    }
    char entered = 0;
    ASSERT_EQ(read(held[0], &entered, 1), 1);
    ASSERT_EQ(entered, 1);
    {
        Window window(name);
        EXPECT_TRUE(window.sendCommandLineToPreexistingInstance());
    }
    ASSERT_EQ(write(letGo[1], "x", 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(other, &status, 0), other);
    Window window(name);
    EXPECT_FALSE(window.sendCommandLineToPreexistingInstance());
    for (const int fd : {held[0], held[1], letGo[0], letGo[1]})
        close(fd);
    for (const char* folder : {"/var/tmp", "/tmp"})
        juce::File(folder).getChildFile(InstanceChannel::lockNameFor(name)).deleteFile();
}
