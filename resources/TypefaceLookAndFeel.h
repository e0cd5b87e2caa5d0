// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "platform/FontResolver.h"

#include <map>
#include <tuple>

// The program's default look-and-feel: JUCE's light drawing, with every
// typeface that is asked for by name resolved to an installed family first.
// JUCE asks the default look-and-feel for all typefaces; the requested names
// ("Arial", "MS UI Gothic") rarely exist on Linux, and a missing one would
// draw Japanese as empty boxes. A language's typeface (its font table entry)
// is resolved for that language (its posixLanguage in languageTables: "ja"
// for Japanese), every other name for "en". JUCE on Linux opens only
// single-font files by family name; a font that comes only as a collection
// (Noto Sans CJK, for one) is opened from its file's bytes and kept.
class TypefaceLookAndFeel : public juce::LookAndFeel_V2
{
public:
    TypefaceLookAndFeel();

    juce::Typeface::Ptr getTypefaceForFont(const juce::Font& font) override;

    // Sets JUCE's default sans-serif name on this look-and-feel and records
    // it as the process-wide default (JUCE 7 keeps the name without a getter).
    void setDefaultSansSerifTypefaceName(const juce::String& name);

    // The name that fonts built from a height and style alone are drawn in:
    // set on the default look-and-feel and recorded. Empty until set.
    static void setDefaultSansSerifName(const juce::String& name);
    static juce::String getDefaultSansSerifName();

private:
    juce::Typeface::Ptr resolve(const juce::Font& font, const juce::String& family);
    juce::String languageOf(const juce::String& family) const;

    // The language each typeface of the font table is resolved for.
    std::map<juce::String, juce::String> languageOfFamily;
    // By requested family, bold and italic: fontconfig's answer, kept, as
    // JUCE forgets its typefaces whenever the default name changes.
    std::map<std::tuple<juce::String, bool, bool>, FontResolver::Face> foundFaces;
    // By font file: typefaces opened from bytes, kept for the process.
    std::map<juce::String, juce::Typeface::Ptr> openedFiles;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(TypefaceLookAndFeel)
};
