// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "platform/FirewallCheck.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <functional>
#include <mutex>

// Judges the firewall again and again while the computer waits for the mixer,
// on a thread of its own (reading every rule may take a while, and the
// networks announced on change): once started, then every judgeEveryMs, and
// at once when the addresses change. The verdict is published for any thread to read.
class FirewallWatch : public juce::Thread
{
public:
    static constexpr int judgeEveryMs = 5000;

    using Check = std::function<FirewallCheck::Verdict(const juce::StringArray& addresses)>;

    // Checks the system's firewall for this program and the listener's port.
    FirewallWatch();
    explicit FirewallWatch(Check check);
    ~FirewallWatch() override;

    // The addresses announced on now; from any thread.
    void setAddresses(const juce::StringArray& now);

    // unknown until the first judgement.
    FirewallCheck::Verdict getVerdict() const noexcept { return verdict.load(); }
    // How many judgements were published.
    int getJudgements() const noexcept { return judgements.load(); }

    void run() override;

private:
    const Check check;
    std::mutex lock;
    juce::StringArray addresses;
    std::atomic<FirewallCheck::Verdict> verdict{FirewallCheck::Verdict::unknown};
    std::atomic<int> judgements{0};
};
