// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/FirewallCheck.h"

// Linux's firewalls (nftables, and ufw or firewalld over it) tell their rules
// to root alone.
bool FirewallCheck::tells() noexcept
{
    return false;
}

FirewallCheck::Verdict FirewallCheck::forIncoming(int, const juce::File&,
                                                  const juce::StringArray&) noexcept
{
    return Verdict::unknown;
}

FirewallCheck::Remedy FirewallCheck::remedy() noexcept
{
    return Remedy::ufwCommand;
}
