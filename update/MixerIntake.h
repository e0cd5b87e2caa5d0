// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "update/MixerDelivery.h"

#include <juce_core/juce_core.h>

#include <cstddef>
#include <vector>

// Tells the mixers of one update apart by their address, so that a mixer
// that connects again never takes the place of one that has not come yet.
// A connection is:
//   a new mixer, from an address not seen before, while fewer mixers than
//     asked for have come;
//   the mixer's next try, from an address whose last delivery failed: it
//     takes that mixer's place, and the verdict is the last try's;
//   turned away, from an address whose delivery is under way or has
//     finished, from a new address once every mixer asked for has come, or
//     from any address but those asked for, where only some are (a second
//     try for the mixers that failed before).
class MixerIntake
{
public:
    enum class Admission
    {
        newMixer,
        nextTry,
        turnedAway
    };

    struct Decision
    {
        Admission admission = Admission::turnedAway;
        std::size_t place = 0; // the mixer's place: where a new one goes, or the one it tries again
        int attempt = 1;       // which try this is of that mixer
        const char* why = "";  // turned away: why, for the log
        bool allCame = false;  // turned away as a new mixer once every one asked for had come
    };

    // A connection from address, given one report per mixer come so far, in
    // the order they came, for an update asked for wanted mixers, from the
    // addresses onlyFrom (empty: from any).
    static Decision admit(const juce::String& address,
                          const std::vector<MixerDelivery::Report>& mixers, int wanted,
                          const juce::StringArray& onlyFrom = {});
};
