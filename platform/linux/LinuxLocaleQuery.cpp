// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/linux/LinuxLocaleQuery.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace
{
std::vector<LinuxLocaleQuery::Candidate>
candidatesOf(const std::vector<LocaleQuery::Language>& languages)
{
    std::vector<LinuxLocaleQuery::Candidate> candidates;
    for (const auto& language : languages)
    {
        char id[16];
        std::snprintf(id, sizeof id, "%08X", static_cast<unsigned>(language.languageId));
        for (const auto& name : language.localeNames)
            candidates.emplace_back(name, id);
    }
    return candidates;
}
} // namespace

LinuxLocaleQuery::LinuxLocaleQuery(const std::vector<Language>& knownLanguages)
    : LinuxLocaleQuery(candidatesOf(knownLanguages), knownLanguages)
{
}

LinuxLocaleQuery::LinuxLocaleQuery(std::vector<Candidate> candidatesToTry,
                                   std::vector<Language> knownLanguages)
    : candidates(std::move(candidatesToTry)), languages(std::move(knownLanguages))
{
}

std::vector<std::string> LinuxLocaleQuery::installedLocaleIds()
{
    std::vector<std::string> ids;

    for (const auto& [name, id] : candidates)
    {
        if (std::find(ids.begin(), ids.end(), id) != ids.end())
            continue;

        if (locale_t opened = newlocale(LC_ALL_MASK, name.c_str(), static_cast<locale_t>(0)))
        {
            freelocale(opened);
            ids.push_back(id);
        }
    }

    return ids;
}

std::uint16_t LinuxLocaleQuery::userDefaultLanguageId()
{
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"})
    {
        const char* value = std::getenv(variable);

        if (value != nullptr && value[0] != '\0')
            return languageIdOfLocaleName(value);
    }

    return 0;
}

std::uint16_t LinuxLocaleQuery::languageIdOfLocaleName(const std::string& name) const
{
    // language[_territory][.codeset][@modifier]
    const auto language = name.substr(0, name.find_first_of("_.@"));

    for (const auto& known : languages)
        if (!language.empty() && language == known.posixLanguage)
            return known.languageId;

    return 0;
}

// The program's query on this platform.
std::unique_ptr<LocaleQuery> LocaleQuery::createForPlatform(const std::vector<Language>& languages)
{
    return std::make_unique<LinuxLocaleQuery>(languages);
}
