// KVR516_UPDATE, GPL-3.0-or-later.
// The table reader on the compiled-in tables and on tables made up here.
#include "resources/TxtLoader.h"
#include "FakeLocaleQuery.h"
#include "resources/StringEntry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

namespace
{
EmbeddedData tableOf(const std::string& bytes)
{
    return {bytes.data(), static_cast<juce::uint32>(bytes.size())};
}

const std::string bom = "\xEF\xBB\xBF";

// Reads section of table into five slots that start out as "-".
std::vector<juce::String> read(const std::string& table, TxtLoader::Section section,
                               int capacity = 5)
{
    std::vector<juce::String> slots(5, "-");
    TxtLoader::loadSection(tableOf(table), section, slots.data(), capacity);
    return slots;
}

std::vector<juce::String> list(std::initializer_list<const char*> texts)
{
    std::vector<juce::String> result;
    for (const char* text : texts)
        result.push_back(juce::String::fromUTF8(text));
    return result;
}

class TxtLoaderOnTables : public ::testing::Test
{
protected:
    void SetUp() override
    {
        query = std::make_shared<FakeLocaleQuery>(std::vector<std::string>{"00000409", "00000411"},
                                                  0x0409);
        TxtLoader::setLocaleQuery(query);
    }

    void TearDown() override
    {
        TxtLoader::deleteInstance();
        TxtLoader::setLocaleQuery(nullptr);
    }

    std::shared_ptr<FakeLocaleQuery> query;
};
} // namespace

TEST_F(TxtLoaderOnTables, LookupsOutOfRangeGiveTheEmptyText)
{
    auto* texts = TxtLoader::getInstance();

    EXPECT_TRUE(texts->getString(TxtLoader::stringCount).isEmpty());
    EXPECT_TRUE(texts->getString(-1).isEmpty());
    EXPECT_TRUE(texts->getString(std::numeric_limits<int>::min()).isEmpty());
    const int beyond = texts->getLanguageCount();
    EXPECT_TRUE(texts->getLanguageName(beyond).isEmpty());
    EXPECT_TRUE(texts->getLanguageName(-1).isEmpty());
    EXPECT_TRUE(texts->getFontName(-1).isEmpty());
    EXPECT_TRUE(texts->getFontName(beyond).isEmpty());
    EXPECT_FALSE(texts->isLanguageAvailable(beyond));
    EXPECT_FALSE(texts->isLanguageAvailable(-1));
    EXPECT_EQ(texts->getString(40), "Send error 9");
    EXPECT_TRUE(texts->getString(StringEntry::finishUnconfirmed).startsWith("This computer could"));
    EXPECT_EQ(texts->getString(TxtLoader::stringCount - 1),
              "This update file is not the one its mixers were sent before: nothing was sent.");
}

TEST_F(TxtLoaderOnTables, EntryZeroIsEmptyAndTheTitleIsTheSameInBothLanguages)
{
    auto* texts = TxtLoader::getInstance();
    ASSERT_EQ(texts->getLanguage(), 0);
    EXPECT_TRUE(texts->getString(0).isEmpty());
    EXPECT_EQ(texts->getString(1), "KVR Firmware Downloader");
    EXPECT_EQ(texts->getString(2), "OK");

    texts->setLanguage(1);
    EXPECT_TRUE(texts->getString(0).isEmpty());
    EXPECT_EQ(texts->getString(1), "KVR Firmware Downloader");
    EXPECT_EQ(texts->getString(3), juce::String::fromUTF8("開始"));
}

TEST_F(TxtLoaderOnTables, EntryTenEndsWithALineFeedInBothLanguages)
{
    auto* texts = TxtLoader::getInstance();
    EXPECT_EQ(texts->getString(10), "Finish sending the firmware.\nExit this download software.\n"
                                    "please confirm a screen on KVR-516helix, and reboot after "
                                    "the end.\n");
    EXPECT_EQ(texts->getString(11), "Initialize cancel.");

    texts->setLanguage(1);
    EXPECT_TRUE(texts->getString(10).endsWith("\n"));
    EXPECT_FALSE(texts->getString(10).containsChar('"'));
    EXPECT_TRUE(texts->getString(10).startsWith(juce::String::fromUTF8("ファームウェアの送信が")));
}

TEST_F(TxtLoaderOnTables, JapaneseErrorEntriesCarryNoRemark)
{
    auto* texts = TxtLoader::getInstance();
    texts->setLanguage(1);
    EXPECT_EQ(texts->getString(14), juce::String::fromUTF8("起動された場所を特定できません_I1"));

    // Every error entry ends in its code: I1..I9, C1..C9, S1..S9.
    for (int code = 1; code <= 9; ++code)
    {
        EXPECT_TRUE(texts->getString(13 + code).endsWith("_I" + juce::String(code))) << code;
        EXPECT_TRUE(texts->getString(22 + code).endsWith("_C" + juce::String(code))) << code;
        EXPECT_TRUE(texts->getString(31 + code).endsWith("_S" + juce::String(code))) << code;
    }
}

TEST_F(TxtLoaderOnTables, EnglishErrorEntriesFollowTheirCodes)
{
    auto* texts = TxtLoader::getInstance();
    for (int code = 1; code <= 9; ++code)
    {
        EXPECT_TRUE(texts->getString(13 + code).endsWith("_I" + juce::String(code))) << code;
        EXPECT_TRUE(texts->getString(22 + code).endsWith("_C" + juce::String(code))) << code;
    }
    EXPECT_EQ(texts->getString(34), "A problem occurred while sending the file_S3");
    EXPECT_EQ(texts->getString(35), "Send error 4");
}

TEST_F(TxtLoaderOnTables, SwitchingBackGivesEveryEnglishStringAgain)
{
    auto* texts = TxtLoader::getInstance();
    std::vector<juce::String> english;
    for (int i = 0; i < TxtLoader::stringCount; ++i)
        english.push_back(texts->getString(i));

    texts->setLanguage(1);
    EXPECT_EQ(texts->getLanguage(), 1);
    EXPECT_NE(texts->getString(6), english[6]);
    texts->setLanguage(0);
    EXPECT_EQ(texts->getLanguage(), 0);

    for (int i = 0; i < TxtLoader::stringCount; ++i)
        EXPECT_EQ(texts->getString(i), english[static_cast<std::size_t>(i)]) << i;
}

TEST_F(TxtLoaderOnTables, SettingTheCurrentLanguageReadsNothing)
{
    auto* texts = TxtLoader::getInstance();
    const auto* before = texts->getString(6).toRawUTF8();
    texts->setLanguage(0);
    EXPECT_EQ(texts->getString(6).toRawUTF8(), before); // not reassigned

    texts->setLanguage(1);
    EXPECT_NE(texts->getString(6).toRawUTF8(), before);
}

TEST_F(TxtLoaderOnTables, OtherLanguageIndexesAreIgnored)
{
    auto* texts = TxtLoader::getInstance();
    texts->setLanguage(texts->getLanguageCount());
    texts->setLanguage(-1);
    EXPECT_EQ(texts->getLanguage(), 0);
    EXPECT_EQ(texts->getString(3), "START");
}

TEST_F(TxtLoaderOnTables, FontAndLanguageNamesComeFromTheirOwnSections)
{
    auto* texts = TxtLoader::getInstance();
    EXPECT_EQ(texts->getFontName(0), "Arial");
    EXPECT_EQ(texts->getFontName(1), "MS UI Gothic"); // never "Osaka-Mono"
    EXPECT_EQ(texts->getLanguageName(0), "English");
    EXPECT_EQ(texts->getLanguageName(1), juce::String::fromUTF8("日本語"));
    EXPECT_EQ(texts->getCurrentFontName(), "Arial");
    texts->setLanguage(1);
    EXPECT_EQ(texts->getCurrentFontName(), "MS UI Gothic");
}

TEST_F(TxtLoaderOnTables, GetInstanceCreatesOnceAndDeleteForgets)
{
    auto* first = TxtLoader::getInstance();
    EXPECT_EQ(TxtLoader::getInstance(), first);
    EXPECT_EQ(query->enumerations, 1);

    first->setLanguage(1);
    TxtLoader::deleteInstance();
    TxtLoader::deleteInstance(); // nothing left to delete

    auto* second = TxtLoader::getInstance();
    EXPECT_EQ(second->getLanguage(), 0); // chosen afresh
    EXPECT_EQ(query->enumerations, 2);
}

TEST(TxtLoaderReader, FontMacIsNeverRead)
{
    const std::string table = bom + "\r\n:FONT_MAC\r\n\"Osaka\"\r\n:FONT_WIN\r\n\"Arial\"\r\n"
                                    ":FONT_MAC\r\n\"Mono\"\r\n:EOF\r\n";
    EXPECT_EQ(read(table, TxtLoader::Section::fontWin), list({"Arial", "-", "-", "-", "-"}));
}

TEST(TxtLoaderReader, HeaderOnTheByteOrderMarkLineIsNotRecognised)
{
    const std::string table = bom + ":STR\r\n\"a\"\r\n\"b\"\r\n:EOF\r\n";
    EXPECT_EQ(read(table, TxtLoader::Section::str), list({"-", "-", "-", "-", "-"}));
}

TEST(TxtLoaderReader, SecondStrSectionContinuesTheNumbering)
{
    const std::string table =
        bom + "\r\n:STR\r\n\"a\"\r\n\"b\"\r\n:LANG\r\n\"x\"\r\n:STR\r\n\"c\"\r\n:EOF\r\n";
    EXPECT_EQ(read(table, TxtLoader::Section::str), list({"a", "b", "c", "-", "-"}));
    EXPECT_EQ(read(table, TxtLoader::Section::lang), list({"x", "-", "-", "-", "-"}));
}

TEST(TxtLoaderReader, EscapesAndUnknownEscapes)
{
    const std::string table = bom + "\r\n:STR\r\n"
                                    "\"a\\qb\"\r\n"
                                    "\"q\\\"uote\\\\d\"\r\n"
                                    "\"\\n\\r\\t\"\r\n"
                                    "\"end\\\"\r\n"
                                    ":EOF\r\n";
    EXPECT_EQ(read(table, TxtLoader::Section::str),
              list({"a\\qb", "q\"uote\\d", "\n\r\t", "end\"", "-"}));
}

TEST(TxtLoaderReader, BytesAroundTheQuotesAreIgnored)
{
    const std::string table = bom + "\r\n:STR\r\n"
                                    "  key = \"text\" trailing \"more\"\r\n"
                                    "\"open to the end\r\n"
                                    ":EOF\r\n";
    EXPECT_EQ(read(table, TxtLoader::Section::str),
              list({"text", "open to the end", "-", "-", "-"}));
}

TEST(TxtLoaderReader, CommentAndBlankLinesDoNotShiftTheNumbering)
{
    const std::string table = bom + "\r\n:STR\r\n\r\n\"a\"\r\n# \"not an entry\"\r\n\r\n\r\n"
                                    "\"b\"\r\n#\r\n\"c\"\r\n:EOF\r\n";
    EXPECT_EQ(read(table, TxtLoader::Section::str), list({"a", "b", "c", "-", "-"}));
}

TEST(TxtLoaderReader, EmptyEntryIsAnEntry)
{
    const std::string table = bom + "\r\n:STR\r\n\"\"\r\n\"one\"\r\n:EOF\r\n";
    EXPECT_EQ(read(table, TxtLoader::Section::str), list({"", "one", "-", "-", "-"}));
}

TEST(TxtLoaderReader, ReadingStopsAtEof)
{
    const std::string table = bom + "\r\n:STR\r\n\"a\"\r\n:EOF\r\n\"b\"\r\n:STR\r\n\"c\"\r\n";
    EXPECT_EQ(read(table, TxtLoader::Section::str), list({"a", "-", "-", "-", "-"}));
}

TEST(TxtLoaderReader, MissingEofReadsToTheEndOfTheBytes)
{
    const std::string table = bom + "\r\n:STR\r\n\"a\"\r\n\"b\"";
    EXPECT_EQ(read(table, TxtLoader::Section::str), list({"a", "b", "-", "-", "-"}));
}

TEST(TxtLoaderReader, NothingAfterTheSizeIsRead)
{
    // The size ends the table even where no zero byte follows it.
    const std::string bytes = bom + "\r\n:STR\r\n\"a\"\r\n\"b\"\r\n\"after\"\r\n:EOF\r\n";
    const auto size = bytes.find("\"after");
    std::vector<juce::String> slots(5, "-");
    TxtLoader::loadSection({bytes.data(), static_cast<juce::uint32>(size)}, TxtLoader::Section::str,
                           slots.data(), 5);
    EXPECT_EQ(slots, list({"a", "b", "-", "-", "-"}));

    // A cut in the middle of a line ends that line there.
    TxtLoader::loadSection({bytes.data(), static_cast<juce::uint32>(size + 4)},
                           TxtLoader::Section::str, slots.data(), 5);
    EXPECT_EQ(slots, list({"a", "b", "aft", "-", "-"}));
}

TEST(TxtLoaderReader, ZeroByteEndsTheLineSearch)
{
    const std::string bytes = bom + "\r\n:STR\r\n\"a\"" + std::string(1, '\0') + "\"b\"\r\n";
    EXPECT_EQ(read(bytes, TxtLoader::Section::str), list({"a", "b", "-", "-", "-"}));
}

TEST(TxtLoaderReader, EntriesBeyondTheCapacityAreSkipped)
{
    const std::string table =
        bom + "\r\n:STR\r\n\"a\"\r\n\"b\"\r\n\"c\"\r\n:LANG\r\n\"x\"\r\n\"y\"\r\n:EOF\r\n";
    EXPECT_EQ(read(table, TxtLoader::Section::str, 2), list({"a", "b", "-", "-", "-"}));
    EXPECT_EQ(read(table, TxtLoader::Section::lang, 1), list({"x", "-", "-", "-", "-"}));
}

TEST(TxtLoaderReader, UnknownHeaderEndsTheSection)
{
    const std::string table = bom + "\r\n:STR\r\n\"a\"\r\n:OTHER\r\n\"b\"\r\n:EOF\r\n";
    EXPECT_EQ(read(table, TxtLoader::Section::str), list({"a", "-", "-", "-", "-"}));
}

TEST(TxtLoaderReader, LineFeedOnlyLinesAreRead)
{
    const std::string table = bom + "\n:STR\n\"a\"\n\n\"b\"\n:EOF\n";
    EXPECT_EQ(read(table, TxtLoader::Section::str), list({"a", "b", "-", "-", "-"}));
}

TEST(TxtLoaderReader, OverlongLineIsCutAndTheNextLineStillRead)
{
    // 3000 bytes between the quotes: the line is kept to its first 2047 bytes,
    // the opening quote and 2046 text bytes.
    const std::string table =
        bom + "\r\n:STR\r\n\"" + std::string(3000, 'x') + "\"\r\n\"next\"\r\n:EOF\r\n";
    const auto slots = read(table, TxtLoader::Section::str);
    EXPECT_EQ(slots[0], juce::String(std::string(2046, 'x')));
    EXPECT_EQ(slots[1], "next");
    EXPECT_EQ(slots[2], "-");
}

TEST(TxtLoaderReader, LinesAreKeptUpTo2047BytesAndCutBeyond)
{
    // An open entry runs to the end of its line: its text is the line less
    // the opening quote, so at most 2046 bytes.
    for (std::size_t textBytes : {2045u, 2046u, 2047u, 2048u, 2100u, 4096u})
    {
        const std::string table =
            bom + "\r\n:STR\r\n\"" + std::string(textBytes, 'x') + "\r\n\"next\"\r\n:EOF\r\n";
        const auto slots = read(table, TxtLoader::Section::str);
        EXPECT_EQ(slots[0].length(), static_cast<int>(std::min<std::size_t>(textBytes, 2046)))
            << textBytes;
        EXPECT_EQ(slots[1], "next") << textBytes;
    }
}

TEST(TxtLoaderReader, OverlongLineOfEscapesStaysInsideTheBuffers)
{
    // Backslash pairs across the cut and a header too long to be seen whole.
    std::string escapes;
    for (int i = 0; i < 2000; ++i)
        escapes += "\\n";
    const std::string table = bom + "\r\n:STR\r\n\"" + escapes + "\r\n:" + std::string(2100, 'Z') +
                              "EOF\r\n\"still str\"\r\n:EOF\r\n";
    const auto slots = read(table, TxtLoader::Section::str);
    EXPECT_EQ(slots[0], juce::String::repeatedString("\n", 1023));
    // The cut header names no known section, so what follows is not STR.
    EXPECT_EQ(slots[1], "-");
}

TEST(TxtLoaderReader, LineWithoutAQuoteIsAnEmptyEntry)
{
    const std::string table = bom + "\r\n:STR\r\nno quote here\r\n\"b\"\r\n:EOF\r\n";
    EXPECT_EQ(read(table, TxtLoader::Section::str), list({"", "b", "-", "-", "-"}));
}

TEST(TxtLoaderReader, UnescapeEntryWithoutAQuoteWritesTheEmptyText)
{
    char output[TxtLoader::lineBufferSize];
    std::memset(output, 'Z', sizeof output);
    TxtLoader::unescapeEntry("plain", output);
    EXPECT_EQ(output[0], '\0');
    EXPECT_EQ(output[1], 'Z');
}

TEST(TxtLoaderReader, BackslashAtTheEndOfAnOpenEntryStaysABackslash)
{
    char output[TxtLoader::lineBufferSize];
    TxtLoader::unescapeEntry("\"ab\\", output);
    EXPECT_STREQ(output, "ab\\");
}

// The recipe for a new language in docs/languages.md gives the tables' entry
// count, which is the count the reader takes, every entry of it a text.
TEST_F(TxtLoaderOnTables, TheDocsGiveTheTablesEntryCount)
{
    const juce::String docs =
        juce::File(KVR_SOURCE_DIR).getChildFile("docs/languages.md").loadFileAsString();
    const juce::String count =
        docs.fromFirstOccurrenceOf("`StringsEnglish.txt` with the", false, false)
            .trimStart()
            .upToFirstOccurrenceOf(" ", false, false);
    EXPECT_EQ(count.getIntValue(), TxtLoader::stringCount) << count;
    auto* texts = TxtLoader::getInstance();
    for (int language : {0, 1})
    {
        texts->setLanguage(language);
        EXPECT_TRUE(texts->getString(TxtLoader::stringCount - 1).isNotEmpty()) << language;
    }
}
