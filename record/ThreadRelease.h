// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

#include <memory>

// Ends the update's network threads without ever killing one. JUCE's Thread,
// stopped with a time limit, kills a thread that overruns it (pthread_cancel,
// TerminateThread), which leaves locks and descriptors in any state and on
// Linux aborts the process. A thread that overruns is given up instead: it is
// left to return from run by itself, untouched, and deleted once it has; one
// still running when the process ends is simply not deleted.
//
// Every call a thread of the update makes ends, or looks at the stop request,
// well within the wait, so a thread is given up only when the system holds it
// longer (a read from a file on a network mount that stalls).
class ThreadRelease
{
public:
    // How long release waits for a thread to return from run.
    static constexpr int waitMs = 100;

    // Asks thread to stop (signalThreadShouldExit and notify, so that its waits
    // end) and waits at most limitMs for run to return. Deletes it and returns
    // true when it has; otherwise gives it up and returns false. Null is
    // released at once.
    static bool release(std::unique_ptr<juce::Thread> thread, int limitMs = waitMs);

    // Asks thread to stop as release does, without waiting: it is deleted
    // once it has returned from run (at the next release or givenUp), or left
    // when the process ends first. For a thread that shares nothing with
    // what goes on, so that nothing waits for it.
    static void letGo(std::unique_ptr<juce::Thread> thread);

    // The threads given up that have not returned yet; those that have are
    // deleted first.
    static int givenUp();
};
