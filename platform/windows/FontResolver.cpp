// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/FontResolver.h"

// Windows opens a family by the name it is asked for and substitutes a
// missing one itself, so the name is taken as it stands.
FontResolver::Face FontResolver::findFace(const juce::String& family, const juce::String&, bool,
                                          bool, const std::function<bool(const juce::String&)>&)
{
    Face face;
    face.family = family;
    face.known = true;
    return face;
}
