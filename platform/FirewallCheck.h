// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

// What the system tells, without administrator rights, of whether its
// firewall lets the mixer's connection in on the networks the program is
// announced on. It may take a while (every rule is read): call it off the
// message thread.
class FirewallCheck
{
public:
    enum class Verdict
    {
        unknown, // the system does not tell, or it is not known here
        letsIn,  // on every network announced on: off, or a rule lets the program or the port in
        blocks   // on one network announced on: on, and nothing lets the program and the port in
    };

    // Whether this system tells anything of its firewall to the program at
    // all: where it does not, forIncoming is always unknown.
    static bool tells() noexcept;

    // addresses: the computer's IPv4 addresses announced on, dotted.
    static Verdict forIncoming(int tcpPort, const juce::File& program,
                               const juce::StringArray& addresses) noexcept;

    // How this system's user lets the connection in, for the hint that names it.
    enum class Remedy
    {
        ufwCommand,    // a firewall command run as root (ufw; others in the docs)
        firewallHelper // the helper that comes with the program, run as administrator
    };

    static Remedy remedy() noexcept;
};
