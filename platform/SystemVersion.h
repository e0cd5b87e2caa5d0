// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

// The operating system and its version in one line, for a support request:
// "Linux 6.1.0-18-amd64 x86_64, Debian GNU/Linux 12 (bookworm)" or
// "Windows 10 (10.0.19045)".
class SystemVersion
{
public:
    static juce::String text();
};
