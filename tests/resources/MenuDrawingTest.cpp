// KVR516_UPDATE, GPL-3.0-or-later.
// The language selector's pop-up items: each language's name in that
// language's typeface whatever the default, and the default put back.
#include "GuiFixture.h"
#include "resources/LangLookAndFeel.h"

namespace
{
class MenuDrawing : public GuiFixture
{
protected:
    juce::Image item(const juce::String& text, bool highlighted = false, int height = 24)
    {
        return render(160, height, 2.0f,
                      [&](juce::Graphics& g)
                      {
                          looks.drawPopupMenuItem(g, {0, 0, 160, height}, false, true, highlighted,
                                                  false, false, text, {}, nullptr, nullptr);
                      });
    }

    // Text in whatever the default sans-serif name is now.
    static juce::Image defaultText()
    {
        return renderText(juce::String::fromUTF8("Aa日"), juce::Font(17.0f));
    }

    LangLookAndFeel looks;
};
} // namespace

TEST_F(MenuDrawing, LanguageNamesAreDrawnInTheirOwnTypefaceWhateverTheDefault)
{
    TypefaceLookAndFeel::setDefaultSansSerifName("MS UI Gothic");
    const auto englishUnderJapanese = item("ENGLISH"); // case is ignored
    const auto japaneseUnderJapanese = item(juce::String::fromUTF8("日本語"));
    const auto otherUnderJapanese = item("ENGLAND");

    TypefaceLookAndFeel::setDefaultSansSerifName("Arial");
    const auto englishUnderEnglish = item("ENGLISH");
    const auto japaneseUnderEnglish = item(juce::String::fromUTF8("日本語"));
    const auto otherUnderEnglish = item("ENGLAND");

    EXPECT_TRUE(sameImage(englishUnderJapanese, englishUnderEnglish));
    EXPECT_TRUE(sameImage(japaneseUnderJapanese, japaneseUnderEnglish));
    // A text that names no language follows the default, and the two
    // typefaces do draw differently.
    EXPECT_FALSE(sameImage(otherUnderJapanese, otherUnderEnglish));
}

TEST_F(MenuDrawing, JapaneseItemHasRealGlyphsUnderTheEnglishDefault)
{
    TypefaceLookAndFeel::setDefaultSansSerifName("Arial");
    const auto drawn = item(juce::String::fromUTF8("日本語"));
    const auto missing = item(juce::String::repeatedString(
        juce::String::charToString(static_cast<juce::juce_wchar>(0x0378)), 3));
    EXPECT_GT(ink(drawn), 20);
    EXPECT_FALSE(sameImage(drawn, missing));
}

TEST_F(MenuDrawing, DefaultTypefaceIsRestoredAfterEachItem)
{
    TypefaceLookAndFeel::setDefaultSansSerifName("Arial");
    const auto before = defaultText();

    for (const auto* text : {"English", "日本語", "Other"})
    {
        item(juce::String::fromUTF8(text));
        EXPECT_EQ(TypefaceLookAndFeel::getDefaultSansSerifName(), "Arial") << text;
        EXPECT_TRUE(sameImage(defaultText(), before)) << text;
    }

    TypefaceLookAndFeel::setDefaultSansSerifName("MS UI Gothic");
    const auto japaneseBefore = defaultText();
    EXPECT_FALSE(sameImage(japaneseBefore, before));
    item("English");
    EXPECT_EQ(TypefaceLookAndFeel::getDefaultSansSerifName(), "MS UI Gothic");
    EXPECT_TRUE(sameImage(defaultText(), japaneseBefore));
}

TEST_F(MenuDrawing, HighlightedItemHasADarkBlueBackgroundInsideAOnePixelBorder)
{
    const auto image = item("English", true); // two pixels per unit
    EXPECT_EQ(image.getPixelAt(4, 4), juce::Colour(0xFF000040));
    EXPECT_EQ(image.getPixelAt(image.getWidth() - 4, image.getHeight() - 4),
              juce::Colour(0xFF000040));
    EXPECT_EQ(image.getPixelAt(0, 0), juce::Colours::white);
    EXPECT_EQ(item("English", false).getPixelAt(4, 4), juce::Colours::white);
}

TEST_F(MenuDrawing, FontIsKeptBelowTheItemHeightOverOnePointThree)
{
    // 17 high in a tall item; 13 / 1.3 = 10 in a 13-high one.
    const auto tall = inkBounds(item("HHH", false, 40), 0.5f).getHeight();
    const auto low = inkBounds(item("HHH", false, 13), 0.5f).getHeight();
    EXPECT_NEAR(static_cast<double>(low), tall * 10.0 / 17.0, 2.0);
}
