// KVR516_UPDATE, GPL-3.0-or-later.
#include "ui/NoMixerHint.h"

#include "resources/StringEntry.h"
#include "resources/TxtLoader.h"

juce::String NoMixerHint::text(FirewallCheck::Verdict firewall, FirewallCheck::Remedy remedy)
{
    const TxtLoader* txt = TxtLoader::getInstance();
    juce::String text = txt->getString(StringEntry::noMixerHint) + "\n";
    if (firewall == FirewallCheck::Verdict::blocks)
        text << txt->getString(StringEntry::firewallBlocks) << " ";
    return text << txt->getString(remedy == FirewallCheck::Remedy::firewallHelper
                                      ? StringEntry::noMixerHintWindows
                                      : StringEntry::noMixerHintLinux);
}
