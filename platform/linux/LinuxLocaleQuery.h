// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "platform/LocaleQuery.h"

#include <utility>

// Locales through the C library: a language counts as installed when one of
// its locales can be opened (newlocale); the user's language is the one of
// the POSIX locale environment (LC_ALL, then LC_MESSAGES, then LANG).
class LinuxLocaleQuery : public LocaleQuery
{
public:
    // A C library locale name and the locale identifier it stands for.
    using Candidate = std::pair<std::string, std::string>;

    // The Japanese and English locales Debian generates under their usual names.
    LinuxLocaleQuery();
    explicit LinuxLocaleQuery(std::vector<Candidate> candidates);

    // The identifiers of the candidates that can be opened, each listed once.
    std::vector<std::string> installedLocaleIds() override;

    // From the first of LC_ALL, LC_MESSAGES and LANG that is set and not
    // empty: 0x0411 for "ja...", 0x0409 for "en...", otherwise 0.
    std::uint16_t userDefaultLanguageId() override;

    // The LANGID of a POSIX locale name such as "ja_JP.UTF-8"; 0 for any
    // other language, "C" and "POSIX" included.
    static std::uint16_t languageIdOfLocaleName(const std::string& name);

private:
    std::vector<Candidate> candidates;
};
