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

    // The locale names of each language stand for its LANGID as an
    // identifier of eight hex digits ("00000411").
    explicit LinuxLocaleQuery(const std::vector<Language>& languages);
    LinuxLocaleQuery(std::vector<Candidate> candidates, std::vector<Language> languages = {});

    // The identifiers of the candidates that can be opened, each listed once.
    std::vector<std::string> installedLocaleIds() override;

    // From the first of LC_ALL, LC_MESSAGES and LANG that is set and not
    // empty: the LANGID of its language, 0 for a language not known.
    std::uint16_t userDefaultLanguageId() override;

    // The LANGID of a POSIX locale name such as "ja_JP.UTF-8": that of the
    // language whose posixLanguage its language part is; 0 for any other,
    // "C" and "POSIX" included.
    std::uint16_t languageIdOfLocaleName(const std::string& name) const;

private:
    std::vector<Candidate> candidates;
    std::vector<Language> languages;
};
