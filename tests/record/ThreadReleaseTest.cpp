// KVR516_UPDATE, GPL-3.0-or-later.
#include "record/ThreadRelease.h"
#include "support/Await.h"

#include <gtest/gtest.h>

#include <atomic>

namespace
{
// A thread whose run returns at the stop request, or only once held is let go
// (as a read from a stalled network mount returns only when the mount does).
class Worker : public juce::Thread
{
public:
    Worker(bool holdOn, std::atomic<int>& stage)
        : juce::Thread("KVR516_UPDATE"), hold(holdOn), at(stage)
    {
    }
    ~Worker() override
    {
        stopThread(-1);
        at = 3;
    }
    void run() override
    {
        if (hold)
            letGo.wait(-1);
        while (!threadShouldExit())
            wait(-1);
        at = 2; // returned from run: nobody killed it
    }
    juce::WaitableEvent letGo;

private:
    const bool hold;
    std::atomic<int>& at; // 2 once run has returned, 3 once deleted
};
} // namespace

TEST(ThreadRelease, ThreadThatOverrunsIsGivenUpNeverKilledAndDeletedOnceItEnds)
{
    std::atomic<int> quick{0};
    auto thread = std::make_unique<Worker>(false, quick);
    ASSERT_TRUE(thread->startThread());
    EXPECT_TRUE(ThreadRelease::release(std::move(thread)));
    EXPECT_EQ(quick, 3);

    std::atomic<int> held{0};
    const int before = ThreadRelease::givenUp();
    thread = std::make_unique<Worker>(true, held);
    juce::WaitableEvent& letGo = thread->letGo;
    ASSERT_TRUE(thread->startThread());
    EXPECT_FALSE(ThreadRelease::release(std::move(thread)));
    EXPECT_EQ(ThreadRelease::givenUp(), before + 1);
    EXPECT_EQ(held, 0);

    letGo.signal();
    EXPECT_TRUE(Await::until([&] { return ThreadRelease::givenUp() == before; }));
    EXPECT_EQ(held, 3);

    // Let go: asked to stop and kept without a wait, even while it is held.
    std::atomic<int> busy{0};
    thread = std::make_unique<Worker>(true, busy);
    juce::WaitableEvent& release = thread->letGo;
    ASSERT_TRUE(thread->startThread());
    ThreadRelease::letGo(std::move(thread));
    EXPECT_EQ(ThreadRelease::givenUp(), before + 1);
    release.signal();
    EXPECT_TRUE(Await::until([&] { return ThreadRelease::givenUp() == before; }));
    EXPECT_EQ(busy, 3);
}
