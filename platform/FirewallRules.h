// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "platform/FirewallCheck.h"

#include <juce_core/juce_core.h>

#include <vector>

// Windows Firewall's judgement of the mixer's inbound TCP connection to the
// program's port, from what its policy tells (INetFwPolicy2, INetFwRule to
// INetFwRule3), apart from the calls that read it. A rule with a condition
// this cannot judge (a service, a packaged app, users or machines, IPsec,
// named interfaces or interface types, local addresses, remote ports, remote
// addresses other than any or the local subnet) may or may not meet the
// connection: it counts neither as letting it in nor as blocking it.
class FirewallRules
{
public:
    // The profiles as NET_FW_PROFILE_TYPE2 numbers them.
    static constexpr long domainProfile = 1, privateProfile = 2, publicProfile = 4;

    struct Rule
    {
        bool enabled = false;
        bool inbound = false;
        long protocol = 0; // 6 TCP, 256 any
        bool allow = false;
        long profiles = 0;
        juce::String localPorts; // as PortList reads them; empty is any
        // No program named, or this program: the caller compares the paths.
        bool programMatches = false;
        juce::String service, localAddresses, remoteAddresses, remotePorts, interfaceTypes;
        bool interfacesNamed = false;
        // INetFwRule3's; empty where the system has no such interface.
        juce::String packageId, userOwner, localUsers, remoteUsers, remoteMachines;
        long secureFlags = 0;
    };

    enum class Meets
    {
        no,
        yes,
        maybe
    };

    static Meets meets(const Rule& rule, int tcpPort);

    // One profile's settings.
    struct Settings
    {
        bool enabled = true;
        bool blockAll = false;
        bool allowByDefault = false;
    };

    // Every rule, as it meets the connection.
    void add(const Rule& rule, int tcpPort);

    // Under one profile: off, inbound allowed by default or by a rule, and no
    // rule blocks it, lets in; on with all inbound blocked, or a rule that
    // blocks it (a block wins over an allow), or no rule that allows it,
    // blocks; a rule that only may meet it leaves what it would decide unknown.
    FirewallCheck::Verdict forProfile(long profile, const Settings& settings) const;

    // The networks announced on, each by its verdict: blocks when one blocks
    // (the mixer may be on it), lets in when every one does, else unknown.
    static FirewallCheck::Verdict combine(const std::vector<FirewallCheck::Verdict>& networks);

private:
    long allows = 0, blocks = 0, mayAllow = 0, mayBlock = 0;
};
