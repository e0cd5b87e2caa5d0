// KVR516_UPDATE, GPL-3.0-or-later.
// The Windows locale services as the start-up language choice reads them.
// The test runs with a Japanese user language (LANG and LC_ALL, which Wine
// takes as the user's language).
#include "platform/windows/WindowsLocaleQuery.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(WindowsLocaleQuery, UserLanguageIsTheOneTheSessionSets)
{
    WindowsLocaleQuery query;
    EXPECT_EQ(query.userDefaultLanguageId(), 0x0411);
}

TEST(WindowsLocaleQuery, InstalledLocalesAreEightHexDigitsAndJapaneseIsAmongThem)
{
    WindowsLocaleQuery query;
    const auto ids = query.installedLocaleIds();

    ASSERT_FALSE(ids.empty());
    for (const auto& id : ids)
    {
        EXPECT_EQ(id.size(), 8u) << id;
        EXPECT_EQ(id.find_first_not_of("0123456789abcdefABCDEF"), std::string::npos) << id;
    }
    EXPECT_NE(std::find(ids.begin(), ids.end(), "00000411"), ids.end());
}

TEST(WindowsLocaleQuery, EnumerationCanBeRepeated)
{
    WindowsLocaleQuery query;
    EXPECT_EQ(query.installedLocaleIds(), query.installedLocaleIds());
}
