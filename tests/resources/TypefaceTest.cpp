// KVR516_UPDATE, GPL-3.0-or-later.
// Every character of the tables is drawn with a real glyph in its language's
// typeface: the typeface names of the font table are resolved to installed
// families before JUCE draws with them.
#include "GuiFixture.h"
#include "resources/StringEntry.h"

#include <set>

namespace
{
// U+0378 is unassigned: no font has a glyph for it, so it is drawn as the
// font's missing-glyph shape (or not at all).
const juce::String noGlyph = juce::String::charToString(static_cast<juce::juce_wchar>(0x0378));

std::set<juce::juce_wchar> charactersOf(const TxtLoader& texts)
{
    std::set<juce::juce_wchar> characters;
    for (int i = 0; i < TxtLoader::stringCount; ++i)
        for (auto c : texts.getString(i))
            if (!juce::CharacterFunctions::isWhitespace(c))
                characters.insert(c);
    return characters;
}

class Typefaces : public GuiFixture
{
protected:
    // Fails for every character drawn as nothing or as the missing glyph.
    void expectRealGlyphs(const std::set<juce::juce_wchar>& characters, const juce::Font& font)
    {
        const auto missing = renderText(noGlyph, font);

        for (auto c : characters)
        {
            const auto text = juce::String::charToString(c);
            const auto drawn = renderText(text, font);
            EXPECT_GT(ink(drawn, 0.75f), 0) << text << " in " << font.getTypefaceName();
            EXPECT_FALSE(sameImage(drawn, missing)) << text << " in " << font.getTypefaceName();
        }
    }
};
} // namespace

TEST_F(Typefaces, JapaneseTextsHaveRealGlyphsInTheJapaneseTypeface)
{
    auto* texts = TxtLoader::getInstance();
    const auto name = texts->getFontName(1);
    texts->setLanguage(1);

    auto characters = charactersOf(*texts);
    for (auto c : juce::String::fromUTF8("日本語"))
        characters.insert(c);

    expectRealGlyphs(characters, juce::Font(name, 24.0f, juce::Font::plain));
    expectRealGlyphs(characters, juce::Font(name, 24.0f, juce::Font::bold));
}

TEST_F(Typefaces, EnglishTextsHaveRealGlyphsInTheEnglishTypeface)
{
    auto* texts = TxtLoader::getInstance();
    const auto name = texts->getFontName(0);
    auto characters = charactersOf(*texts);
    for (auto c : texts->getLanguageName(0))
        characters.insert(c);

    expectRealGlyphs(characters, juce::Font(name, 24.0f, juce::Font::plain));
    expectRealGlyphs(characters, juce::Font(name, 24.0f, juce::Font::bold));
}

TEST_F(Typefaces, DefaultSansSerifNameIsResolvedToo)
{
    auto* texts = TxtLoader::getInstance();
    TypefaceLookAndFeel::setDefaultSansSerifName(texts->getFontName(1));
    EXPECT_EQ(TypefaceLookAndFeel::getDefaultSansSerifName(), "MS UI Gothic");

    std::set<juce::juce_wchar> characters;
    for (auto c : juce::String::fromUTF8("日本語の中断"))
        characters.insert(c);
    expectRealGlyphs(characters, juce::Font(13.0f));
}

TEST_F(Typefaces, SettingTheNameOnTheLookAndFeelItselfIsRecorded)
{
    typefaces.setDefaultSansSerifTypefaceName("MS UI Gothic");
    EXPECT_EQ(TypefaceLookAndFeel::getDefaultSansSerifName(), "MS UI Gothic");
    expectRealGlyphs({0x65E5}, juce::Font(20.0f));
}

TEST_F(Typefaces, TheCheckCatchesJapaneseDrawnInALatinFont)
{
    // Without resolution JUCE draws "MS UI Gothic" with no face at all, and a
    // Latin-only font draws the missing glyph: both are what the check fails.
    const auto latin = juce::Font("Liberation Sans", 24.0f, juce::Font::plain);
    if (!juce::Font::findAllTypefaceNames().contains("Liberation Sans"))
        GTEST_SKIP() << "fonts-liberation is not installed";

    const auto drawn = renderText(juce::String::fromUTF8("日"), latin);
    const auto missing = renderText(noGlyph, latin);
    EXPECT_TRUE(sameImage(drawn, missing));
}

// The screens' longest texts, laid out as the window draws them (12.8 point,
// word-wrapped to the box's width), stay inside their boxes in both languages.
TEST_F(Typefaces, LongestTextsFitTheirBoxesInBothLanguages)
{
    using E = StringEntry;
    auto* texts = TxtLoader::getInstance();
    for (int language : {0, 1})
    {
        texts->setLanguage(language);
        auto s = [&](int entry) { return texts->getString(entry); };
        struct Box
        {
            const char* what;
            juce::String text;
            float height;
        };
        const Box boxes[] = {
            {"finish, unconfirmed", s(E::finished).trimEnd() + "\n" + s(E::finishUnconfirmed), 110},
            {"waiting, with the hint on Windows",
             s(E::announcedOn).replace("%1", "198.51.100.10, 203.0.113.5") + "\n\n" +
                 s(E::noMixerHint) + "\n" + s(E::firewallBlocks) + " " + s(E::noMixerHintWindows),
             122},
            {"waiting, with the hint on Linux",
             s(E::announcedOn).replace("%1", "198.51.100.10, 203.0.113.5") + "\n\n" +
                 s(E::noMixerHint) + "\n" + s(E::noMixerHintLinux),
             122},
            {"waiting on no network, with the hint on Windows",
             s(E::onNoNetwork) + "\n\n" + s(E::noMixerHint) + "\n" + s(E::firewallBlocks) + " " +
                 s(E::noMixerHintWindows),
             122},
            {"sending, stopped", s(E::stalled).replace("%1", "1234"), 102},
            {"ready, with the file",
             s(E::introduction).trimEnd() + "\n" +
                 s(E::updateFileToSend).replace("%2", "123.4").replace("%1", "KVR516_UPDATE 2.upd"),
             110},
        };
        for (const Box& box : boxes)
        {
            SCOPED_TRACE(std::string(box.what) + " in language " + std::to_string(language));
            juce::AttributedString text(box.text);
            text.setFont(juce::Font(texts->getFontName(language), 12.8f, juce::Font::plain));
            text.setWordWrap(juce::AttributedString::byWord);
            juce::TextLayout layout;
            layout.createLayout(text, 390.0f);
            EXPECT_LE(layout.getHeight(), box.height);
        }
    }
}
