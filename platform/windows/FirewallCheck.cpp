// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/FirewallCheck.h"

FirewallCheck::Verdict FirewallCheck::forIncoming(int, const juce::File&) noexcept
{
    return Verdict::unknown;
}
