// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/windows/WindowsLocaleQuery.h"

#include <windows.h>

namespace
{
// The list the enumeration of the calling thread fills; the enumeration calls
// back on that thread before it returns and takes no context of its own.
thread_local std::vector<std::string>* collected = nullptr;

BOOL CALLBACK collectLocale(LPSTR id)
{
    if (id == nullptr || collected == nullptr)
        return FALSE;

    collected->emplace_back(id);
    return TRUE;
}
} // namespace

std::vector<std::string> WindowsLocaleQuery::installedLocaleIds()
{
    std::vector<std::string> ids;
    collected = &ids;
    ::EnumSystemLocalesA(collectLocale, LCID_INSTALLED);
    collected = nullptr;
    return ids;
}

std::uint16_t WindowsLocaleQuery::userDefaultLanguageId()
{
    return ::GetUserDefaultLangID();
}

// The program's query on this platform: Windows reports locales and the
// user's language by the identifiers the languages are compared by.
std::unique_ptr<LocaleQuery> LocaleQuery::createForPlatform(const std::vector<Language>&)
{
    return std::make_unique<WindowsLocaleQuery>();
}
