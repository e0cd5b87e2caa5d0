// KVR516_UPDATE, GPL-3.0-or-later.
#include "update/FirewallWatch.h"

#include "net/Protocol.h"
#include "net/UpdateFile.h"

#include <utility>

FirewallWatch::FirewallWatch()
    : FirewallWatch(
          [](const juce::StringArray& now) {
              return FirewallCheck::forIncoming(Protocol::listenerPort, UpdateFile::thisProgram(),
                                                now);
          })
{
}

FirewallWatch::FirewallWatch(Check c) : juce::Thread("KVR516_UPDATE"), check(std::move(c)) {}

FirewallWatch::~FirewallWatch()
{
    stopThread(-1);
}

void FirewallWatch::setAddresses(const juce::StringArray& now)
{
    {
        const std::lock_guard<std::mutex> hold(lock);
        if (now == addresses)
            return;
        addresses = now;
    }
    // Another network: judged at once.
    notify();
}

void FirewallWatch::run()
{
    while (!threadShouldExit())
    {
        juce::StringArray now;
        {
            const std::lock_guard<std::mutex> hold(lock);
            now = addresses;
        }
        verdict.store(check(now));
        ++judgements;
        wait(judgeEveryMs);
    }
}
