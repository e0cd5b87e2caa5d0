// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/TimerPrecision.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <sys/prctl.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using Clock = TimerPrecision::Clock;

namespace
{
// A thread that holds a TimerPrecision while body runs, and notes its timer
// slack before, during and after.
class Pacer : public juce::Thread
{
public:
    explicit Pacer(std::function<void(TimerPrecision&)> b)
        : juce::Thread("pacer"), body(std::move(b))
    {
    }
    ~Pacer() override { stopThread(10000); }

    void run() override
    {
        slackBefore = ::prctl(PR_GET_TIMERSLACK, 0UL, 0UL, 0UL, 0UL);
        {
            TimerPrecision precision(*this);
            slackWhileHeld = ::prctl(PR_GET_TIMERSLACK, 0UL, 0UL, 0UL, 0UL);
            body(precision);
        }
        slackAfter = ::prctl(PR_GET_TIMERSLACK, 0UL, 0UL, 0UL, 0UL);
    }

    int slackBefore = -1;
    int slackWhileHeld = -1;
    int slackAfter = -1;

private:
    std::function<void(TimerPrecision&)> body;
};

// True once the thread tid of this process sleeps (state S), within 10 s.
bool sleeps(pid_t tid)
{
    const auto deadline = Clock::now() + 10s;
    const std::string path = "/proc/self/task/" + std::to_string(tid) + "/stat";
    while (Clock::now() < deadline)
    {
        std::ifstream stat(path);
        std::string line;
        std::getline(stat, line);
        const auto end = line.rfind(')'); // the name may hold spaces
        if (end != std::string::npos && line.compare(end, 3, ") S") == 0)
            return true;
        std::this_thread::sleep_for(1ms);
    }
    return false;
}
} // namespace

TEST(TimerPrecisionTest, AWaitNeverEndsBeforeItsDeadline)
{
    int early = 0;
    int stopped = 0;
    bool marginBounded = true;
    Pacer pacer(
        [&](TimerPrecision& precision)
        {
            // Deadlines from already passed to 1.4 ms ahead.
            for (int i = 0; i < 300; ++i)
            {
                const auto deadline = Clock::now() + (i % 16 - 1) * 100us;
                stopped += precision.waitUntil(deadline) ? 0 : 1;
                early += Clock::now() < deadline ? 1 : 0;
                marginBounded =
                    marginBounded && precision.margin() <= TimerPrecision::longestMargin;
            }
        });
    pacer.startThread();
    ASSERT_TRUE(pacer.waitForThreadToExit(30000));
    EXPECT_EQ(early, 0);
    EXPECT_EQ(stopped, 0);
    EXPECT_TRUE(marginBounded);
    EXPECT_EQ(pacer.slackWhileHeld, 1);
    EXPECT_EQ(pacer.slackAfter, pacer.slackBefore);
}

TEST(TimerPrecisionTest, AStopRequestEndsTheWaitAndEveryLaterOne)
{
    juce::WaitableEvent waiting;
    std::atomic<pid_t> tid{0};
    bool first = true;
    bool second = true;
    Pacer pacer(
        [&](TimerPrecision& precision)
        {
            tid = ::gettid();
            waiting.signal();
            first = precision.waitUntil(Clock::now() + 1h);
            second = precision.waitUntil(Clock::now() + 1h);
        });
    pacer.startThread();
    ASSERT_TRUE(waiting.wait(10000));
    EXPECT_TRUE(sleeps(tid)); // the stop comes while the wait sleeps
    pacer.signalThreadShouldExit();
    ASSERT_TRUE(pacer.waitForThreadToExit(10000));
    EXPECT_FALSE(first);
    EXPECT_FALSE(second);
}
