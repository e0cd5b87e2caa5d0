// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/FirewallRules.h"

#include "platform/PortList.h"

namespace
{
constexpr long tcp = 6;
constexpr long anyProtocol = 256;

bool any(const juce::String& value)
{
    return value.isEmpty() || value == "*";
}
} // namespace

FirewallRules::Meets FirewallRules::meets(const Rule& rule, int tcpPort)
{
    if (!rule.enabled || !rule.inbound || (rule.protocol != tcp && rule.protocol != anyProtocol) ||
        !rule.programMatches)
        return Meets::no;
    // A rule for any protocol has no ports: it covers every one.
    const std::wstring ports = any(rule.localPorts) ? L"*" : rule.localPorts.toWideCharPointer();
    if (rule.protocol == tcp && !PortList::covers(ports, tcpPort))
        return Meets::no;

    // The mixer is on the network it was announced on: the local subnet
    // holds it.
    const bool remoteJudged =
        any(rule.remoteAddresses) || rule.remoteAddresses.equalsIgnoreCase("LocalSubnet");
    const bool judged =
        rule.service.isEmpty() && rule.packageId.isEmpty() && rule.userOwner.isEmpty() &&
        rule.localUsers.isEmpty() && rule.remoteUsers.isEmpty() && rule.remoteMachines.isEmpty() &&
        rule.secureFlags == 0 && !rule.interfacesNamed &&
        (rule.interfaceTypes.isEmpty() || rule.interfaceTypes.equalsIgnoreCase("All")) &&
        any(rule.localAddresses) && any(rule.remotePorts) && remoteJudged;
    return judged ? Meets::yes : Meets::maybe;
}

void FirewallRules::add(const Rule& rule, int tcpPort)
{
    const Meets m = meets(rule, tcpPort);
    if (m == Meets::no)
        return;
    long& bits =
        rule.allow ? (m == Meets::yes ? allows : mayAllow) : (m == Meets::yes ? blocks : mayBlock);
    bits |= rule.profiles;
}

FirewallCheck::Verdict FirewallRules::forProfile(long profile, const Settings& settings) const
{
    using Verdict = FirewallCheck::Verdict;
    if (!settings.enabled)
        return Verdict::letsIn;
    if (settings.blockAll || (blocks & profile) != 0)
        return Verdict::blocks;
    if ((mayBlock & profile) != 0)
        return Verdict::unknown;
    if (settings.allowByDefault || (allows & profile) != 0)
        return Verdict::letsIn;
    return (mayAllow & profile) != 0 ? Verdict::unknown : Verdict::blocks;
}

FirewallCheck::Verdict FirewallRules::combine(const std::vector<FirewallCheck::Verdict>& networks)
{
    using Verdict = FirewallCheck::Verdict;
    bool allLetIn = !networks.empty();
    for (const Verdict v : networks)
    {
        if (v == Verdict::blocks)
            return Verdict::blocks;
        allLetIn = allLetIn && v == Verdict::letsIn;
    }
    return allLetIn ? Verdict::letsIn : Verdict::unknown;
}
