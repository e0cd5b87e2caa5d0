// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/InstanceChannel.h"
#include "support/MessagePump.h"

#include <juce_events/juce_events.h>

#include <gtest/gtest.h>

#include <future>
#include <sys/stat.h>

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
