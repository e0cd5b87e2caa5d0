// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "update/SendProgress.h"

#include <juce_core/juce_core.h>

// The send stage's figures as one line in the current language, the same in
// the window and on the console: "3.1 MB of 8.4 MB · 1.0 MB/s · about 5 s
// left" ("written (unconfirmed)" after the sizes where the figure is the bytes
// written); the sizes alone until the rate is known and once the finish is
// decided; the sizes and the rate, with no time left, once everything is
// written; nothing before the first reading; and, once the mixer has taken
// nothing for a while, "The mixer has taken nothing for 12 s. ...". Sizes in
// MB of 1,000,000 bytes with one decimal (what was taken rounded down until
// the finish), rates under 1 MB/s in whole kB/s, the time left in whole
// seconds, at least 1.
class ProgressText
{
public:
    static juce::String line(const SendProgress::Figures& figures);
};
