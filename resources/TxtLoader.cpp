// KVR516_UPDATE, GPL-3.0-or-later.
#include "resources/TxtLoader.h"

#include "platform/LocaleQuery.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

namespace
{
TxtLoader* instance = nullptr;
std::shared_ptr<LocaleQuery> localeQuery;

constexpr std::size_t notFound = ~std::size_t{0};

// Offset of the first byte at or after from, before size and before any zero
// byte; notFound if there is none.
std::size_t findByte(const char* bytes, std::size_t from, std::size_t size, char byte)
{
    for (std::size_t i = from; i < size && bytes[i] != '\0'; ++i)
    {
        if (bytes[i] == byte)
            return i;
    }
    return notFound;
}

// Offset of the zero byte that ends the text at from, or size.
std::size_t findTextEnd(const char* bytes, std::size_t from, std::size_t size)
{
    std::size_t i = from;
    while (i < size && bytes[i] != '\0')
        ++i;
    return i;
}

// The section a header line (":" first, not ":EOF") opens.
TxtLoader::Section sectionOfHeader(const char* line)
{
    if (std::strstr(line, "FONT_WIN") != nullptr)
        return TxtLoader::Section::fontWin;
    if (std::strstr(line, "LANG") != nullptr)
        return TxtLoader::Section::lang;
    if (std::strstr(line, "STR") != nullptr)
        return TxtLoader::Section::str;
    return TxtLoader::Section::none;
}
} // namespace

TxtLoader* TxtLoader::getInstance()
{
    if (instance == nullptr)
    {
        // Recorded before the detection: the locale callback reaches the
        // instance through getInstance.
        instance = new TxtLoader();
        const int chosen = instance->detectLanguage();

        if (chosen != instance->language)
        {
            instance->language = chosen;
            loadSection(languageTables[chosen].table, Section::str, instance->strings, stringCount);
        }
    }
    return instance;
}

void TxtLoader::deleteInstance()
{
    delete instance;
    instance = nullptr;
}

void TxtLoader::setLocaleQuery(std::shared_ptr<LocaleQuery> query)
{
    localeQuery = std::move(query);
}

TxtLoader::TxtLoader()
{
    loadSection(fontTable, Section::fontWin, fontNames, languageCount);
    loadSection(fontTable, Section::lang, languageNames, languageCount);
}

TxtLoader::~TxtLoader() = default;

const juce::String& TxtLoader::getString(int index) const
{
    return static_cast<unsigned>(index) < static_cast<unsigned>(stringCount) ? strings[index]
                                                                             : emptyText;
}

const juce::String& TxtLoader::getLanguageName(int index) const
{
    return static_cast<unsigned>(index) < static_cast<unsigned>(languageCount)
               ? languageNames[index]
               : emptyText;
}

const juce::String& TxtLoader::getFontName(int index) const
{
    return static_cast<unsigned>(index) < static_cast<unsigned>(languageCount) ? fontNames[index]
                                                                               : emptyText;
}

const juce::String& TxtLoader::getCurrentFontName() const
{
    return getFontName(language);
}

int TxtLoader::getLanguage() const
{
    return language;
}

bool TxtLoader::isLanguageAvailable(int index) const
{
    return static_cast<unsigned>(index) < static_cast<unsigned>(languageCount) && available[index];
}

void TxtLoader::setLanguage(int index)
{
    if (index == language || static_cast<unsigned>(index) >= static_cast<unsigned>(languageCount))
        return;

    language = index;
    loadSection(languageTables[index].table, Section::str, strings, stringCount);
}

int TxtLoader::detectLanguage()
{
    available[0] = true;
    available[1] = false;

    std::shared_ptr<LocaleQuery> query = localeQuery;
    if (query == nullptr)
        query = LocaleQuery::createForPlatform();

    for (const auto& id : query->installedLocaleIds())
    {
        if (!noteInstalledLocale(id.c_str()))
            break;
    }

    const unsigned userLanguage = query->userDefaultLanguageId() & 0xFFu;

    for (int i = 0; i < languageCount; ++i)
    {
        if (userLanguage == (languageTables[i].languageId & 0xFFu))
            return available[i] ? i : 0;
    }
    return 0;
}

// Called once per installed locale; false ends the enumeration.
bool TxtLoader::noteInstalledLocale(const char* localeId)
{
    if (localeId == nullptr)
        return false;

    char japanese[8];
    std::snprintf(japanese, sizeof japanese, "%02x", languageTables[1].languageId & 0xFFu);

    const std::size_t length = std::strlen(localeId);
    if (length >= 2 && strcasecmp(localeId + length - 2, japanese) == 0)
        getInstance()->available[1] = true;

    return true;
}

void TxtLoader::loadSection(const EmbeddedData& table, Section section, juce::String* destination,
                            int capacity)
{
    char line[lineBufferSize];
    char text[lineBufferSize];

    const char* const bytes = table.data;
    const std::size_t size = table.size;
    std::size_t position = 0;
    Section current = Section::none;
    int stored = 0;

    // Offsets rather than pointers, so that nothing points past the table.
    while (position <= size)
    {
        const std::size_t cr = findByte(bytes, position, size, '\r');
        const std::size_t lf = findByte(bytes, position, size, '\n');
        std::size_t lineEnd;
        std::size_t contentEnd;

        if (cr != notFound && lf != notFound)
        {
            // The later of the two ends the line, and the byte before it (the
            // CR of a CR LF pair) is left out.
            lineEnd = cr > lf ? cr : lf;
            contentEnd = lineEnd - 1;
        }
        else if (cr != notFound || lf != notFound)
        {
            lineEnd = cr != notFound ? cr : lf;
            contentEnd = lineEnd;
        }
        else
        {
            lineEnd = findTextEnd(bytes, position, size);
            contentEnd = lineEnd;
        }

        std::size_t length = contentEnd - position;
        if (length > lineBufferSize - 1)
            length = lineBufferSize - 1;
        std::memcpy(line, bytes + position, length);
        line[length] = '\0';

        const char first = line[0];

        if (first == '\0' || first == '\r' || first == '\n' || first == '#')
        {
            // blank or comment
        }
        else if (first == ':')
        {
            if (std::strstr(line, "EOF") != nullptr)
                return;
            current = sectionOfHeader(line);
        }
        else if (current == section && section != Section::none && stored < capacity)
        {
            unescapeEntry(line, text);
            destination[stored] = juce::String::fromUTF8(text);
            ++stored;
        }

        position = lineEnd + 1;
    }
}

void TxtLoader::unescapeEntry(const char* line, char* output)
{
    const char* in = std::strchr(line, '"');
    char* out = output;

    if (in != nullptr)
    {
        ++in;

        while (*in != '\0' && *in != '"')
        {
            if (*in == '\\')
            {
                const char next = in[1];
                const char decoded = next == 'n'    ? '\n'
                                     : next == 'r'  ? '\r'
                                     : next == 't'  ? '\t'
                                     : next == '"'  ? '"'
                                     : next == '\\' ? '\\'
                                                    : '\0';
                if (decoded != '\0')
                {
                    *out++ = decoded;
                    in += 2;
                    continue;
                }
            }
            *out++ = *in++;
        }
    }

    *out = '\0';
}
