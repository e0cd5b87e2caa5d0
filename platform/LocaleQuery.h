// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What the system says about languages: the installed locales and the user's
// language. Locales and languages are named as Windows does (LCID and LANGID),
// the form the start-up language choice compares. Tests supply their own.
class LocaleQuery
{
public:
    virtual ~LocaleQuery() = default;

    // One identifier per installed locale, as eight hexadecimal digits
    // ("00000411" for Japanese); only the last two digits are compared.
    virtual std::vector<std::string> installedLocaleIds() = 0;

    // The user's default language as a LANGID (0x0411 Japanese, 0x0409
    // English); only its low 8 bits are compared.
    virtual std::uint16_t userDefaultLanguageId() = 0;

    // A language the program has, as the systems name it.
    struct Language
    {
        std::uint16_t languageId;             // its LANGID (0x0411)
        std::string posixLanguage;            // how a POSIX locale name begins ("ja")
        std::vector<std::string> localeNames; // C library locales that stand for it
    };

    // The implementation for the platform the program runs on, for the
    // program's languages (Windows names them itself and needs none).
    static std::unique_ptr<LocaleQuery> createForPlatform(const std::vector<Language>& languages);
};
