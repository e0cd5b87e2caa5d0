// KVR516_UPDATE, GPL-3.0-or-later.
// The compiled-in tables are the files of resources/, byte for byte, and each
// is followed by the zero byte that bounds the reader's line search.
#include "resources/EmbeddedData.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace
{
std::string fileBytes(const std::string& name)
{
    std::ifstream in(std::string(KVR_SOURCE_DIR) + "/resources/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string bytesOf(const EmbeddedData& data)
{
    return {data.data, data.size};
}
} // namespace

TEST(EmbeddedData, EnglishTableIsTheFileAndEndsInAZeroByte)
{
    EXPECT_EQ(languageTables[0].languageId, 0x0409u);
    EXPECT_EQ(languageTables[0].table.size, fileBytes("StringsEnglish.txt").size());
    EXPECT_EQ(bytesOf(languageTables[0].table), fileBytes("StringsEnglish.txt"));
    EXPECT_EQ(languageTables[0].table.data[languageTables[0].table.size], '\0');
}

TEST(EmbeddedData, JapaneseTableIsTheFileAndEndsInAZeroByte)
{
    EXPECT_EQ(languageTables[1].languageId, 0x0411u);
    EXPECT_EQ(bytesOf(languageTables[1].table), fileBytes("StringsJapanese.txt"));
    EXPECT_EQ(languageTables[1].table.data[languageTables[1].table.size], '\0');
}

TEST(EmbeddedData, FontTableIsTheFileAndEndsInAZeroByte)
{
    EXPECT_EQ(bytesOf(fontTable), fileBytes("Fonts.txt"));
    EXPECT_EQ(fontTable.data[fontTable.size], '\0');
}

TEST(EmbeddedData, TablesAreCrLfThroughoutWithTheMarkAndEofLines)
{
    std::vector<const EmbeddedData*> tables{&fontTable};
    for (const auto& language : languageTables)
        tables.push_back(&language.table);
    for (const auto* table : tables)
    {
        const auto bytes = bytesOf(*table);
        EXPECT_EQ(bytes.rfind("\xEF\xBB\xBF\r\n", 0), 0u);
        EXPECT_EQ(bytes.substr(bytes.size() - 6), ":EOF\r\n");

        for (std::size_t i = 0; i < bytes.size(); ++i)
        {
            if (bytes[i] == '\n')
            {
                ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "bare LF at " << i;
            }
            if (bytes[i] == '\r')
            {
                ASSERT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << "bare CR at " << i;
            }
        }
    }
}

TEST(EmbeddedData, LogoIsTheFile)
{
    EXPECT_EQ(bytesOf(imageTable[0]), fileBytes("Logo.png"));
}
