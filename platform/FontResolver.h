// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

#include <functional>

// Finds the installed font that stands in for a requested family, the way the
// desktop does: fontconfig's choices for the family, the language of the text
// to be drawn and the style ("Arial" gives a metric-compatible substitute, a
// Japanese family with "ja" a font that has Japanese glyphs).
class FontResolver
{
public:
    struct Face
    {
        juce::String family; // empty when nothing was found
        juce::String file;
        int index = 0;      // of the face within a font collection file
        bool known = false; // family is one the caller can open by name
    };

    // Goes through fontconfig's choices, best first, and takes the first that
    // has the language's characters and whose family isKnown accepts; when
    // none is accepted, the best that has the language's characters (the
    // caller may open its file), else fontconfig's best.
    static Face findFace(const juce::String& family, const juce::String& language, bool bold,
                         bool italic, const std::function<bool(const juce::String&)>& isKnown);
};
