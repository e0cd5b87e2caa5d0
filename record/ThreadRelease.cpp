// KVR516_UPDATE, GPL-3.0-or-later.
#include "record/ThreadRelease.h"

#include "record/DiagnosticLog.h"

#include <mutex>
#include <vector>

namespace
{
struct GivenUp
{
    std::mutex lock;
    std::vector<std::unique_ptr<juce::Thread>> threads;

    // Deletes the threads that have returned from run; the caller holds lock.
    void sweep()
    {
        for (auto it = threads.begin(); it != threads.end();)
            it = (*it)->isThreadRunning() ? it + 1 : threads.erase(it);
    }
};

// Never destroyed: at the end of the process a thread still running is left
// as it is rather than waited for by a static destructor.
GivenUp& givenUpThreads()
{
    static GivenUp* const list = new GivenUp;
    return *list;
}
// Keeps a thread that may still be running until it has returned.
void keep(std::unique_ptr<juce::Thread> thread)
{
    GivenUp& list = givenUpThreads();
    const std::lock_guard<std::mutex> guard(list.lock);
    list.sweep();
    list.threads.push_back(std::move(thread));
}
} // namespace

bool ThreadRelease::release(std::unique_ptr<juce::Thread> thread, int limitMs)
{
    if (thread == nullptr)
        return true;

    thread->signalThreadShouldExit();
    thread->notify();
    if (thread->waitForThreadToExit(limitMs))
        return true; // thread's destructor finds it ended

    DiagnosticLog::line("a thread did not end within " + juce::String(limitMs) +
                        " ms of its stop request: it is left to end by itself");
    keep(std::move(thread));
    return false;
}

void ThreadRelease::letGo(std::unique_ptr<juce::Thread> thread)
{
    if (thread == nullptr)
        return;
    thread->signalThreadShouldExit();
    thread->notify();
    keep(std::move(thread));
}

int ThreadRelease::givenUp()
{
    GivenUp& list = givenUpThreads();
    const std::lock_guard<std::mutex> guard(list.lock);
    list.sweep();
    return static_cast<int>(list.threads.size());
}
