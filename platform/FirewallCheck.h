// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

// What the system tells, without administrator rights, of whether its
// firewall lets the mixer's connection in.
class FirewallCheck
{
public:
    enum class Verdict
    {
        unknown, // the system does not tell, or it is not known here
        letsIn,  // off for the current network, or a rule lets the program or the port in
        blocks   // on for the current network, and no rule lets the program or the port in
    };

    static Verdict forIncoming(int tcpPort, const juce::File& program) noexcept;

    // How this system's user lets the connection in, for the hint that names it.
    enum class Remedy
    {
        ufwCommand,    // a firewall command run as root (ufw; others in the docs)
        firewallHelper // the helper that comes with the program, run as administrator
    };

    static Remedy remedy() noexcept;
};
