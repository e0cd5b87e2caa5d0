// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/FontResolver.h"

#include <fontconfig/fontconfig.h>

namespace
{
juce::String stringOf(const FcChar8* text)
{
    return juce::String::fromUTF8(reinterpret_cast<const char*>(text));
}

const FcChar8* bytesOf(const juce::String& text)
{
    return reinterpret_cast<const FcChar8*>(text.toRawUTF8());
}

// The family name of a font; JUCE knows a font by its English name, which is
// preferred when the font carries its name in several languages.
juce::String familyOf(FcPattern* font)
{
    juce::String found;
    FcChar8* name = nullptr;

    for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &name) == FcResultMatch; ++i)
    {
        FcChar8* nameLanguage = nullptr;
        const bool english =
            FcPatternGetString(font, FC_FAMILYLANG, i, &nameLanguage) == FcResultMatch &&
            stringOf(nameLanguage) == "en";

        if (found.isEmpty() || english)
            found = stringOf(name);
        if (english)
            break;
    }
    return found;
}

bool coversLanguage(FcPattern* font, const juce::String& language)
{
    FcLangSet* languages = nullptr;
    return FcPatternGetLangSet(font, FC_LANG, 0, &languages) == FcResultMatch &&
           FcLangSetHasLang(languages, bytesOf(language)) != FcLangDifferentLang;
}

FontResolver::Face faceOf(FcPattern* font)
{
    FontResolver::Face face;
    face.family = familyOf(font);

    FcChar8* file = nullptr;
    if (FcPatternGetString(font, FC_FILE, 0, &file) == FcResultMatch)
        face.file = stringOf(file);

    int index = 0;
    if (FcPatternGetInteger(font, FC_INDEX, 0, &index) == FcResultMatch)
        face.index = index;

    return face;
}
} // namespace

FontResolver::Face FontResolver::findFace(const juce::String& family, const juce::String& language,
                                          bool bold, bool italic,
                                          const std::function<bool(const juce::String&)>& isKnown)
{
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr)
        return {};

    FcPatternAddString(pattern, FC_FAMILY, bytesOf(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);

    if (FcLangSet* languages = FcLangSetCreate())
    {
        FcLangSetAdd(languages, bytesOf(language));
        FcPatternAddLangSet(pattern, FC_LANG, languages);
        FcLangSetDestroy(languages);
    }

    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);

    FcResult result = FcResultNoMatch;
    FcFontSet* fonts = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
    FcPatternDestroy(pattern);

    if (fonts == nullptr)
        return {};

    Face best;
    Face bestWithLanguage;

    for (int i = 0; i < fonts->nfont; ++i)
    {
        FcPattern* font = fonts->fonts[i];
        auto face = faceOf(font);

        if (face.family.isEmpty())
            continue;
        if (best.family.isEmpty())
            best = face;
        if (!coversLanguage(font, language))
            continue;
        if (bestWithLanguage.family.isEmpty())
            bestWithLanguage = face;
        if (isKnown(face.family))
        {
            face.known = true;
            FcFontSetDestroy(fonts);
            return face;
        }
    }

    FcFontSetDestroy(fonts);
    return bestWithLanguage.family.isNotEmpty() ? bestWithLanguage : best;
}
