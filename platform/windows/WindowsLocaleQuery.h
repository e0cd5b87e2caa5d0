// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "platform/LocaleQuery.h"

// Locales through Windows' national-language services: the installed locales
// as EnumSystemLocalesA gives them, the user's language from
// GetUserDefaultLangID.
class WindowsLocaleQuery : public LocaleQuery
{
public:
    std::vector<std::string> installedLocaleIds() override;
    std::uint16_t userDefaultLanguageId() override;
};
