// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/linux/LinuxLocaleQuery.h"

#include <algorithm>
#include <cstdlib>
#include <locale.h>

LinuxLocaleQuery::LinuxLocaleQuery()
    : LinuxLocaleQuery({{"ja_JP.UTF-8", "00000411"},
                        {"ja_JP.utf8", "00000411"},
                        {"ja_JP.eucJP", "00000411"},
                        {"ja_JP", "00000411"},
                        {"en_US.UTF-8", "00000409"},
                        {"en_GB.UTF-8", "00000809"}})
{
}

LinuxLocaleQuery::LinuxLocaleQuery(std::vector<Candidate> candidatesToTry)
    : candidates(std::move(candidatesToTry))
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

std::uint16_t LinuxLocaleQuery::languageIdOfLocaleName(const std::string& name)
{
    // language[_territory][.codeset][@modifier]
    const auto language = name.substr(0, name.find_first_of("_.@"));

    if (language == "ja")
        return 0x0411;

    if (language == "en")
        return 0x0409;

    return 0;
}

// The program's query on this platform.
std::unique_ptr<LocaleQuery> LocaleQuery::createForPlatform()
{
    return std::make_unique<LinuxLocaleQuery>();
}
