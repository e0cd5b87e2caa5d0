// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "net/NetworkSetup.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <memory>

// The initialise stage's work on a thread of its own: builds the NetworkSetup
// (the update file's check, then the interface list). Its owner releases it as
// it releases the other threads of the update (ThreadRelease), so that a file
// system that holds an open or a read of the update file for as long as it
// likes (a network share, a file still being synchronised) holds this thread
// only, never the one that answers the user.
class NetworkSetupThread : public juce::Thread
{
public:
    // query (owned) lists the interfaces once the file has passed.
    NetworkSetupThread(const juce::File& programFile, std::unique_ptr<InterfaceQuery> query);

    // Stops the thread and waits for it; the check looks at the stop request
    // between the blocks it reads.
    ~NetworkSetupThread() override;

    // True once run has built the setup, or has ended on an exception (the
    // log says what); from then on takeSetup hands the setup over.
    bool hasBuilt() const noexcept { return built.load(std::memory_order_acquire); }

    // The setup built, once; null before hasBuilt, and when run ended on an
    // exception: the check has then no result, and the update file counts as
    // one it could not check.
    std::unique_ptr<NetworkSetup> takeSetup();

    void run() override;

private:
    const juce::File programFile;
    const std::unique_ptr<InterfaceQuery> query;
    std::unique_ptr<NetworkSetup> setup;
    std::atomic<bool> built{false};
};
