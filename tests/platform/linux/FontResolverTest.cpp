// KVR516_UPDATE, GPL-3.0-or-later.
// The font table's typeface names resolve to installed fonts that have the
// characters of their language. Needs the fonts the README installs
// (fonts-ipafont-gothic, fonts-liberation).
#include "platform/FontResolver.h"

#include <gtest/gtest.h>

#include <fontconfig/fontconfig.h>

namespace
{
bool fileHasJapanese(const FontResolver::Face& face)
{
    FcPattern* font = FcFreeTypeQuery(reinterpret_cast<const FcChar8*>(face.file.toRawUTF8()),
                                      static_cast<unsigned>(face.index), nullptr, nullptr);
    if (font == nullptr)
        return false;
    FcLangSet* languages = nullptr;
    const bool has =
        FcPatternGetLangSet(font, FC_LANG, 0, &languages) == FcResultMatch &&
        FcLangSetHasLang(languages, reinterpret_cast<const FcChar8*>("ja")) == FcLangEqual;
    FcPatternDestroy(font);
    return has;
}

const auto nothingKnown = [](const juce::String&) { return false; };
const auto everythingKnown = [](const juce::String&) { return true; };
} // namespace

TEST(FontResolver, JapaneseTypefaceResolvesToAFontWithJapanese)
{
    for (bool bold : {false, true})
    {
        const auto face = FontResolver::findFace("MS UI Gothic", "ja", bold, false, nothingKnown);
        ASSERT_TRUE(face.file.isNotEmpty());
        EXPECT_FALSE(face.known);
        EXPECT_TRUE(fileHasJapanese(face)) << face.family << " " << face.file;
    }
}

TEST(FontResolver, KnownFamilyIsTakenBeforeBetterOnesTheCallerCannotOpen)
{
    const auto best = FontResolver::findFace("MS UI Gothic", "ja", false, false, everythingKnown);
    ASSERT_TRUE(best.known);

    // Refuse the best: the next font with Japanese, or none.
    const auto next =
        FontResolver::findFace("MS UI Gothic", "ja", false, false,
                               [&](const juce::String& name) { return name != best.family; });
    if (next.known)
    {
        EXPECT_NE(next.family, best.family);
        EXPECT_TRUE(fileHasJapanese(next)) << next.family;
    }
    else
    {
        EXPECT_EQ(next.family, best.family);
    }
}

TEST(FontResolver, ArialResolvesToAMetricCompatibleFamily)
{
    const auto regular = FontResolver::findFace("Arial", "en", false, false, everythingKnown);
    const auto bold = FontResolver::findFace("Arial", "en", true, false, everythingKnown);
    EXPECT_EQ(regular.family, "Liberation Sans");
    EXPECT_EQ(bold.family, "Liberation Sans");
    EXPECT_NE(regular.file, bold.file);
    EXPECT_TRUE(bold.file.containsIgnoreCase("Bold")) << bold.file;
}

TEST(FontResolver, UnknownFamilyStillGivesAnInstalledFont)
{
    const auto face =
        FontResolver::findFace("No Such Family 4711", "en", false, false, everythingKnown);
    EXPECT_TRUE(face.family.isNotEmpty());
    EXPECT_TRUE(juce::File(face.file).existsAsFile()) << face.file;
}
