// KVR516_UPDATE, GPL-3.0-or-later.
#include "update/MixerIntake.h"

#include "net/Broadcast.h"
#include "net/Listener.h"
#include "net/NetworkSetup.h"
#include "record/DiagnosticLog.h"
#include "record/ThreadRelease.h"
#include "update/FirewallWatch.h"

namespace
{
constexpr int pollMs = 10;
} // namespace

MixerIntake::MixerIntake(int mixers, juce::StringArray only, StartThread start)
    : wanted(mixers), onlyFrom(std::move(only)), startThread(std::move(start))
{
}

MixerIntake::~MixerIntake()
{
    ThreadRelease::release(std::move(broadcast));
    ThreadRelease::release(std::move(listener));
    ThreadRelease::letGo(std::move(firewall));
}

StageResult MixerIntake::open(const NetworkSetup& setup, std::unique_ptr<InterfaceQuery> query,
                              const std::function<bool()>& stopAsked)
{
    // One mixer from any address: the listener takes one connection and
    // refuses the rest. Otherwise it accepts until closed, and the intake
    // tells the mixers apart.
    const bool one = wanted == 1 && onlyFrom.isEmpty();
    listener = std::make_unique<::Listener>(one ? 1 : ::Listener::untilClosed);
    if (!startThread(*listener))
    {
        listener.reset();
        return StageResult::code3;
    }
    while (!listener->waitUntilListening(pollMs))
        if (stopAsked())
            return StageResult::cancelled;
    if (!listener->isListening())
        return stageResultOf(listener->getStatus());

    broadcast = std::make_unique<Broadcast>(setup, std::move(query));
    if (!startThread(*broadcast))
    {
        broadcast.reset();
        return StageResult::code3;
    }
    // Only for the hint, where the system tells: a watch that cannot start
    // leaves the verdict unknown.
    if (FirewallCheck::tells())
    {
        firewall = std::make_unique<FirewallWatch>();
        if (!startThread(*firewall))
            firewall.reset();
    }
    announcingSince = juce::Time::getMillisecondCounterHiRes();
    return StageResult::success;
}

std::optional<MixerIntake::Arrival>
MixerIntake::next(const std::vector<MixerDelivery::Report>& come)
{
    while (juce::StreamingSocket* accepted =
               listener != nullptr ? listener->getConnectedSocket() : nullptr)
    {
        Arrival a{std::shared_ptr<juce::StreamingSocket>(accepted), {}};
        const juce::String address = a.socket->getHostName();
        a.decision = admit(address, come, wanted, onlyFrom);
        if (a.decision.admission != Admission::turnedAway)
            return a;
        DiagnosticLog::line("the connection from " + address +
                            " is closed at once: " + a.decision.why);
        a.socket->close();
        if (a.decision.allCame)
            turnedAway.add(address);
    }
    return std::nullopt;
}

StageResult MixerIntake::failure() const
{
    if (listener != nullptr)
    {
        const ::Listener::Status s = listener->getStatus();
        if (s != ::Listener::Status::running && s != ::Listener::Status::connected)
            return stageResultOf(s);
    }
    // The announcing has ended with a failure (2 or 4): no mixer can find
    // the computer any more, so the wait ends with Broadcast's code rather
    // than going on for ever.
    if (broadcast != nullptr)
    {
        const Broadcast::Status b = broadcast->getStatus();
        if (b != Broadcast::Status::running && b != Broadcast::Status::stopped)
            return stageResultOf(b);
    }
    return StageResult::success;
}

// Broadcast lists its first networks as it starts, and none is empty then
// (the initialise stage found one, or announcing has failed): an empty list
// before it has listed is no listing yet.
MixerIntake::Announcing MixerIntake::look()
{
    Announcing a;
    if (broadcast == nullptr)
        return a;
    a.addresses = broadcast->getAnnouncedAddresses();
    a.onNoNetwork = broadcast->isOnNoNetwork();
    a.listed = !a.addresses.isEmpty() || a.onNoNetwork ||
               juce::Time::getMillisecondCounterHiRes() - announcingSince >= Broadcast::relistMs;
    if (firewall != nullptr)
    {
        firewall->setAddresses(a.addresses);
        a.firewall = firewall->getVerdict();
    }
    return a;
}

void MixerIntake::close()
{
    if (listener != nullptr)
        listener->close();
    if (broadcast != nullptr)
        broadcast->stopThread(-1);
}

MixerIntake::Decision MixerIntake::admit(const juce::String& address,
                                         const std::vector<MixerDelivery::Report>& mixers,
                                         int wanted, const juce::StringArray& onlyFrom)
{
    Decision d;
    if (!onlyFrom.isEmpty() && !onlyFrom.contains(address))
    {
        d.place = mixers.size();
        d.why = "not one of the mixers asked for";
        return d;
    }
    for (std::size_t i = 0; i < mixers.size(); ++i)
    {
        const MixerDelivery::Report& m = mixers[i];
        if (m.address != address)
            continue;
        d.place = i;
        if (!m.ended)
            d.why = "that mixer's delivery is under way";
        else if (m.result == StageResult::success)
            d.why = "that mixer has its file already";
        else
        {
            d.admission = Admission::nextTry;
            d.attempt = m.attempt + 1;
        }
        return d;
    }
    d.place = mixers.size();
    if (static_cast<int>(mixers.size()) < wanted)
        d.admission = Admission::newMixer;
    else
    {
        d.why = "every mixer asked for has come";
        d.allCame = true;
    }
    return d;
}
