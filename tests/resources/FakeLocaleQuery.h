// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "platform/LocaleQuery.h"

// Installed locales and the user's language as a test sets them.
class FakeLocaleQuery : public LocaleQuery
{
public:
    FakeLocaleQuery(std::vector<std::string> ids, std::uint16_t userLanguage)
        : localeIds(std::move(ids)), userLanguageId(userLanguage)
    {
    }

    std::vector<std::string> installedLocaleIds() override
    {
        ++enumerations;
        return localeIds;
    }

    std::uint16_t userDefaultLanguageId() override { return userLanguageId; }

    std::vector<std::string> localeIds;
    std::uint16_t userLanguageId;
    int enumerations = 0;
};
