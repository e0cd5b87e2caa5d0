// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/StateFolder.h"

#include <cstdlib>

juce::File StateFolder::get()
{
    // A relative path in the variable is no good and is passed over, as the
    // XDG Base Directory rules ask.
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/')
        return juce::File(juce::String::fromUTF8(state));

    // JUCE takes HOME, or the user's entry in the password database.
    const juce::File home = juce::File::getSpecialLocation(juce::File::userHomeDirectory);
    if (home == juce::File())
        return {};
    return home.getChildFile(".local/state");
}
