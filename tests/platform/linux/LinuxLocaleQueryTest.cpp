// KVR516_UPDATE, GPL-3.0-or-later.
// The user's language from the POSIX locale environment, and installed
// locales from what the C library can open.
#include "platform/linux/LinuxLocaleQuery.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>

namespace
{
const std::vector<LocaleQuery::Language> englishAndJapanese = {
    {0x0409, "en", {"en_US.UTF-8"}}, {0x0411, "ja", {"ja_JP.UTF-8", "ja_JP.eucJP"}}};

// Sets the three variables for one test and puts the old values back.
class LocaleEnvironment : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* name : names)
        {
            const char* value = std::getenv(name);
            saved[name] = value != nullptr ? std::optional<std::string>(value) : std::nullopt;
            unsetenv(name);
        }
    }

    void TearDown() override
    {
        for (const auto& [name, value] : saved)
        {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }

    static std::uint16_t user()
    {
        return LinuxLocaleQuery(englishAndJapanese).userDefaultLanguageId();
    }

    static constexpr const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::map<std::string, std::optional<std::string>> saved;
};
} // namespace

TEST(LinuxLocaleQuery, LanguageOfLocaleNames)
{
    const LinuxLocaleQuery query(englishAndJapanese);
    EXPECT_EQ(query.languageIdOfLocaleName("ja_JP.UTF-8"), 0x0411);
    EXPECT_EQ(query.languageIdOfLocaleName("ja_JP.eucJP"), 0x0411);
    EXPECT_EQ(query.languageIdOfLocaleName("ja"), 0x0411);
    EXPECT_EQ(query.languageIdOfLocaleName("en_US.UTF-8"), 0x0409);
    EXPECT_EQ(query.languageIdOfLocaleName("en_GB"), 0x0409);
    EXPECT_EQ(query.languageIdOfLocaleName("en@quot"), 0x0409);
    EXPECT_EQ(query.languageIdOfLocaleName("de_DE.UTF-8"), 0);
    EXPECT_EQ(query.languageIdOfLocaleName("C"), 0);
    EXPECT_EQ(query.languageIdOfLocaleName("C.UTF-8"), 0);
    EXPECT_EQ(query.languageIdOfLocaleName("POSIX"), 0);
    EXPECT_EQ(query.languageIdOfLocaleName("jam_JM"), 0);
    EXPECT_EQ(query.languageIdOfLocaleName("enx"), 0);
    EXPECT_EQ(query.languageIdOfLocaleName(""), 0);
}

TEST_F(LocaleEnvironment, NothingSetIsNoLanguage)
{
    EXPECT_EQ(user(), 0);
}

TEST_F(LocaleEnvironment, LangAlone)
{
    setenv("LANG", "ja_JP.UTF-8", 1);
    EXPECT_EQ(user(), 0x0411);
}

TEST_F(LocaleEnvironment, MessagesComeBeforeLang)
{
    setenv("LANG", "ja_JP.UTF-8", 1);
    setenv("LC_MESSAGES", "en_US.UTF-8", 1);
    EXPECT_EQ(user(), 0x0409);
}

TEST_F(LocaleEnvironment, AllComesFirst)
{
    setenv("LANG", "en_US.UTF-8", 1);
    setenv("LC_MESSAGES", "en_US.UTF-8", 1);
    setenv("LC_ALL", "ja_JP.UTF-8", 1);
    EXPECT_EQ(user(), 0x0411);

    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(user(), 0);
}

TEST_F(LocaleEnvironment, EmptyValuesCountAsUnset)
{
    setenv("LC_ALL", "", 1);
    setenv("LC_MESSAGES", "", 1);
    setenv("LANG", "ja_JP.UTF-8", 1);
    EXPECT_EQ(user(), 0x0411);
}

TEST(LinuxLocaleQuery, OnlyLocalesTheLibraryCanOpenAreListed)
{
    // "C.UTF-8" exists on every Debian system; the other name on none.
    LinuxLocaleQuery query({{"xx_NOWHERE.UTF-8", "00000411"},
                            {"C.UTF-8", "00000409"},
                            {"C", "00000409"},
                            {"yy_NOWHERE", "00000412"}});
    EXPECT_EQ(query.installedLocaleIds(), std::vector<std::string>{"00000409"});
}

TEST(LinuxLocaleQuery, AnyOpenableJapaneseNameCounts)
{
    LinuxLocaleQuery query(std::vector<LinuxLocaleQuery::Candidate>{
        {"ja_NOWHERE.UTF-8", "00000411"}, {"C.UTF-8", "00000411"}});
    EXPECT_EQ(query.installedLocaleIds(), std::vector<std::string>{"00000411"});
}
