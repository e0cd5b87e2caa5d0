// KVR516_UPDATE, GPL-3.0-or-later.
#include "update/FirewallWatch.h"

#include "net/Protocol.h"
#include "net/UpdateFile.h"
#include "record/DiagnosticLog.h"

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

// Whatever is thrown out of a judgement (no memory, a system service's
// failure) ends the watch: the verdict goes back to unknown, which gives no
// hint, and the log says why.
void FirewallWatch::run()
{
    try
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
    catch (...)
    {
        verdict.store(FirewallCheck::Verdict::unknown);
        DiagnosticLog::thrown("judging the firewall");
    }
}
