// KVR516_UPDATE, GPL-3.0-or-later.
// The firewall judged on a thread of its own, again as the networks change.
#include "update/FirewallWatch.h"

#include "support/Await.h"

#include <gtest/gtest.h>

#include <mutex>
#include <stdexcept>

TEST(FirewallWatch, JudgesAtOnceAndAgainForTheNetworksAnnouncedOnNow)
{
    std::mutex lock;
    juce::StringArray judged;
    std::atomic<FirewallCheck::Verdict> answer{FirewallCheck::Verdict::letsIn};
    FirewallWatch watch(
        [&](const juce::StringArray& addresses)
        {
            const std::lock_guard<std::mutex> hold(lock);
            judged = addresses;
            return answer.load();
        });
    EXPECT_EQ(watch.getVerdict(), FirewallCheck::Verdict::unknown);
    watch.setAddresses({"198.51.100.1"});
    ASSERT_TRUE(watch.startThread());
    ASSERT_TRUE(Await::until([&] { return watch.getJudgements() >= 1; }));
    EXPECT_EQ(watch.getVerdict(), FirewallCheck::Verdict::letsIn);

    // Another network is judged again, with the verdict for it.
    answer = FirewallCheck::Verdict::blocks;
    const juce::StringArray both{"198.51.100.1", "203.0.113.1"};
    watch.setAddresses(both);
    EXPECT_TRUE(Await::until(
        [&]
        {
            const std::lock_guard<std::mutex> hold(lock);
            return judged == both && watch.getVerdict() == FirewallCheck::Verdict::blocks;
        }));
}

// A judgement that throws ends the watch, the verdict unknown, never the
// process.
TEST(FirewallWatch, AJudgementThatThrowsEndsTheWatchOnly)
{
    FirewallWatch watch([](const juce::StringArray&) -> FirewallCheck::Verdict
                        { throw std::runtime_error("no rules"); });
    ASSERT_TRUE(watch.startThread());
    EXPECT_TRUE(Await::until([&] { return !watch.isThreadRunning(); }));
    EXPECT_EQ(watch.getVerdict(), FirewallCheck::Verdict::unknown);
}
