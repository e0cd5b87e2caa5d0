// KVR516_UPDATE, GPL-3.0-or-later.
// The start-up language and the languages offered, from the installed
// locales and the user's language as the platform reports them.
#include "FakeLocaleQuery.h"
#include "resources/TxtLoader.h"

#include <gtest/gtest.h>

namespace
{
struct Detected
{
    int language;
    bool english;
    bool japanese;
};

Detected detect(std::vector<std::string> ids, std::uint16_t userLanguage)
{
    TxtLoader::setLocaleQuery(std::make_shared<FakeLocaleQuery>(std::move(ids), userLanguage));
    auto* texts = TxtLoader::getInstance();
    const Detected result{texts->getLanguage(), texts->isLanguageAvailable(0),
                          texts->isLanguageAvailable(1)};
    const auto title = texts->getString(6);
    TxtLoader::deleteInstance();
    TxtLoader::setLocaleQuery(nullptr);

    // The strings loaded are those of the language chosen.
    EXPECT_EQ(title, result.language == 1
                         ? juce::String::fromUTF8("ご使用になる言語を選択してください。")
                         : juce::String("Please choose a language used."));
    return result;
}
} // namespace

// A third language beside the program's two, in the test's own tables.
const std::string germanStrings = "\xEF\xBB\xBF\r\n:STR\r\n\"\"\r\n\"KVR Firmware Downloader\"\r\n"
                                  "\"OK\"\r\n\"START\"\r\n\"Abbrechen\"\r\n\"ENDE\"\r\n"
                                  "\"Bitte eine Sprache w\xC3\xA4hlen.\"\r\n:EOF\r\n";
const std::string threeFonts =
    "\xEF\xBB\xBF\r\n:FONT_WIN\r\n\"Arial\"\r\n\"MS UI Gothic\"\r\n\"Arial\"\r\n"
    ":LANG\r\n\"English\"\r\n\"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\"\r\n"
    "\"Deutsch\"\r\n:EOF\r\n";

EmbeddedData bytesOf(const std::string& text)
{
    return {text.data(), static_cast<juce::uint32>(text.size())};
}

// Each row: the languages offered, the one the user starts in and the text
// the language screen shows in it.
TEST(LanguageDetection, AUserOfAnOfferedLanguageStartsInIt)
{
    struct Row
    {
        bool withGerman; // the test's three languages, else the program's two
        std::vector<std::string> localeIds;
        std::uint16_t userLanguage;
        int language;
        std::vector<std::string> offered;
        const char* shown;
    };
    // clang-format off
    const Row rows[] = {
        {false, {"00000409", "00000411"}, 0x0411, 1, {"English", "日本語"}, "ご使用になる言語を選択してください。"},
        {true,  {"00000409", "00000407"}, 0x0407, 2, {"English", "Deutsch"}, "Bitte eine Sprache wählen."},
    };
    // clang-format on
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.shown);
        if (row.withGerman)
        {
            TxtLoader::setLanguageTables({languageTables[0],
                                          languageTables[1],
                                          {0x0407, bytesOf(germanStrings), "de", {"de_DE.UTF-8"}}},
                                         bytesOf(threeFonts));
        }
        TxtLoader::setLocaleQuery(
            std::make_shared<FakeLocaleQuery>(row.localeIds, row.userLanguage));
        auto* texts = TxtLoader::getInstance();
        std::vector<std::string> offered;
        for (int i = 0; i < texts->getLanguageCount(); ++i)
            if (texts->isLanguageAvailable(i))
                offered.push_back(texts->getLanguageName(i).toStdString());

        EXPECT_EQ(texts->getLanguage(), row.language);
        EXPECT_EQ(offered, row.offered);
        EXPECT_EQ(texts->getString(6).toStdString(), row.shown);
        TxtLoader::deleteInstance();
        TxtLoader::setLocaleQuery(nullptr);
        TxtLoader::setLanguageTables();
    }
}

TEST(LanguageDetection, JapaneseUserWithoutJapaneseLocaleStartsInEnglish)
{
    const auto d = detect({"00000409", "00000407", "00000412", "00001104"}, 0x0411);
    EXPECT_EQ(d.language, 0);
    EXPECT_TRUE(d.english);
    EXPECT_FALSE(d.japanese);
}

TEST(LanguageDetection, NoLocalesAtAllStillOffersEnglish)
{
    const auto d = detect({}, 0x0411);
    EXPECT_EQ(d.language, 0);
    EXPECT_TRUE(d.english);
    EXPECT_FALSE(d.japanese);
}

TEST(LanguageDetection, EnglishUserOfAnySublanguageStartsInEnglish)
{
    for (std::uint16_t id : {0x0409, 0x0809, 0x0C09, 0x1009, 0x0009})
    {
        const auto d = detect({"00000411"}, id);
        EXPECT_EQ(d.language, 0) << std::hex << id;
        EXPECT_TRUE(d.japanese) << std::hex << id;
    }
}

TEST(LanguageDetection, OtherLanguagesStartInEnglishWithBothOffered)
{
    for (std::uint16_t id : {0x0407, 0x040C, 0x0412, 0x0000, 0x1110, 0x0410})
    {
        const auto d = detect({"00000409", "00000411"}, id);
        EXPECT_EQ(d.language, 0) << std::hex << id;
        EXPECT_TRUE(d.english);
        EXPECT_TRUE(d.japanese);
    }
}

TEST(LanguageDetection, OnlyTheLowByteOfTheUserLanguageCounts)
{
    // Sublanguage bits above the primary language are ignored.
    EXPECT_EQ(detect({"00000411"}, 0x0811).language, 1);
    EXPECT_EQ(detect({"00000411"}, 0xFC11).language, 1);
    EXPECT_EQ(detect({"00000411"}, 0x0111).language, 1);
}

TEST(LanguageDetection, OnlyTheLastTwoDigitsOfALocaleCount)
{
    EXPECT_TRUE(detect({"11"}, 0x0411).japanese);
    EXPECT_TRUE(detect({"FFFFFF11"}, 0x0411).japanese);
    EXPECT_FALSE(detect({"00001104"}, 0x0411).japanese);
    EXPECT_FALSE(detect({"1"}, 0x0411).japanese);
    EXPECT_FALSE(detect({""}, 0x0411).japanese);
}

TEST(LanguageDetection, EveryLocaleIsLookedAt)
{
    // Japanese last in a long list still counts.
    std::vector<std::string> ids;
    for (int i = 0; i < 200; ++i)
        ids.push_back(
            juce::String::toHexString(0x0400 + (i % 16)).paddedLeft('0', 8).toStdString());
    ids.push_back("00000411");
    EXPECT_EQ(detect(ids, 0x0411).language, 1);
}
