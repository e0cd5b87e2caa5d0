// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/TimerPrecision.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <thread>

#ifdef __linux__
#include <sys/prctl.h>
#include <unistd.h>
#endif

using namespace std::chrono_literals;
using Clock = TimerPrecision::Clock;

namespace
{
// The calling thread's timer slack in nanoseconds (Linux); -1 elsewhere.
int timerSlack()
{
#ifdef __linux__
    return ::prctl(PR_GET_TIMERSLACK, 0UL, 0UL, 0UL, 0UL);
#else
    return -1;
#endif
}

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
        slackBefore = timerSlack();
        {
            TimerPrecision precision(*this);
            slackWhileHeld = timerSlack();
            body(precision);
        }
        slackAfter = timerSlack();
    }

    int slackBefore = -1;
    int slackWhileHeld = -1;
    int slackAfter = -1;

private:
    std::function<void(TimerPrecision&)> body;
};

#ifdef __linux__
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
#endif
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
#ifdef __linux__
    EXPECT_EQ(pacer.slackWhileHeld, 1);
    EXPECT_EQ(pacer.slackAfter, pacer.slackBefore);
#endif
}

TEST(TimerPrecisionTest, AStopRequestEndsTheWaitAndEveryLaterOne)
{
    juce::WaitableEvent waiting;
#ifdef __linux__
    std::atomic<pid_t> tid{0};
#endif
    bool first = true;
    bool second = true;
    Pacer pacer(
        [&](TimerPrecision& precision)
        {
#ifdef __linux__
            tid = ::gettid();
#endif
            waiting.signal();
            first = precision.waitUntil(Clock::now() + 1h);
            second = precision.waitUntil(Clock::now() + 1h);
        });
    pacer.startThread();
    ASSERT_TRUE(waiting.wait(10000));
#ifdef __linux__
    EXPECT_TRUE(sleeps(tid)); // the stop comes while the wait sleeps
#endif
    // Elsewhere the stop may come just before the sleep: then the wait ends
    // without sleeping, and a stop that did not wake the sleep goes unseen.
    pacer.signalThreadShouldExit();
    ASSERT_TRUE(pacer.waitForThreadToExit(10000));
    EXPECT_FALSE(first);
    EXPECT_FALSE(second);
}
