// KVR516_UPDATE, GPL-3.0-or-later.
#include "resources/TxtLoader.h"

#include "platform/LocaleQuery.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{
TxtLoader* instance = nullptr;
std::shared_ptr<LocaleQuery> localeQuery;
// What setLanguageTables gave; no tables: the program's own.
std::vector<LanguageTable> tablesSet;
EmbeddedData fontsSet{};

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

// The code point of the well-formed UTF-8 sequence at text (a zero byte ends
// the text), and its length in bytes; 0 bytes when the sequence is not
// well-formed: a stray or missing continuation byte, an overlong form, a
// surrogate or a value past U+10FFFF.
int decodeUtf8(const unsigned char* text, juce::juce_wchar& codePoint)
{
    const unsigned char lead = text[0];
    int extra;
    juce::juce_wchar value;
    juce::juce_wchar least;
    if (lead < 0x80)
    {
        codePoint = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF)
    {
        extra = 1;
        value = lead & 0x1F;
        least = 0x80;
    }
    else if (lead >= 0xE0 && lead <= 0xEF)
    {
        extra = 2;
        value = lead & 0x0F;
        least = 0x800;
    }
    else if (lead >= 0xF0 && lead <= 0xF4)
    {
        extra = 3;
        value = lead & 0x07;
        least = 0x10000;
    }
    else
        return 0;

    for (int i = 1; i <= extra; ++i)
    {
        if ((text[i] & 0xC0) != 0x80) // the zero byte stops here too
            return 0;
        value = (value << 6) | (text[i] & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    codePoint = value;
    return extra + 1;
}

// The text of a table entry. JUCE sizes a string made from UTF-8 by decoding
// it but then copies the bytes as they are, so a malformed sequence would
// overrun its buffer: the text is decoded here, and every byte that does not
// belong to a well-formed sequence becomes U+FFFD.
juce::String textOfEntry(const char* text)
{
    std::vector<juce::juce_wchar> codePoints;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    while (*bytes != 0)
    {
        juce::juce_wchar c = 0;
        const int length = decodeUtf8(bytes, c);
        codePoints.push_back(length > 0 ? c : 0xFFFD);
        bytes += length > 0 ? length : 1;
    }
    codePoints.push_back(0);
    return juce::String(juce::CharPointer_UTF32(codePoints.data()));
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
            loadSection(instance->languages[static_cast<std::size_t>(chosen)].table, Section::str,
                        instance->strings, stringCount);
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

void TxtLoader::setLanguageTables(std::vector<LanguageTable> tables, EmbeddedData fonts)
{
    tablesSet = std::move(tables);
    fontsSet = fonts;
}

TxtLoader::TxtLoader()
    : languages(tablesSet.empty() ? languageTables : tablesSet), available(languages.size(), false),
      fontNames(languages.size()), languageNames(languages.size())
{
    const EmbeddedData& fonts = tablesSet.empty() ? fontTable : fontsSet;
    loadSection(fonts, Section::fontWin, fontNames.data(), getLanguageCount());
    loadSection(fonts, Section::lang, languageNames.data(), getLanguageCount());
}

TxtLoader::~TxtLoader() = default;

int TxtLoader::getLanguageCount() const
{
    return static_cast<int>(languages.size());
}

bool TxtLoader::isLanguage(int index) const
{
    return static_cast<unsigned>(index) < languages.size();
}

const juce::String& TxtLoader::getString(int index) const
{
    return static_cast<unsigned>(index) < static_cast<unsigned>(stringCount) ? strings[index]
                                                                             : emptyText;
}

const juce::String& TxtLoader::getLanguageName(int index) const
{
    return isLanguage(index) ? languageNames[static_cast<std::size_t>(index)] : emptyText;
}

const juce::String& TxtLoader::getFontName(int index) const
{
    return isLanguage(index) ? fontNames[static_cast<std::size_t>(index)] : emptyText;
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
    return isLanguage(index) && available[static_cast<std::size_t>(index)];
}

void TxtLoader::setLanguage(int index)
{
    if (index == language || !isLanguage(index))
        return;

    language = index;
    loadSection(languages[static_cast<std::size_t>(index)].table, Section::str, strings,
                stringCount);
}

int TxtLoader::detectLanguage()
{
    available.assign(languages.size(), false);
    available[0] = true;

    std::shared_ptr<LocaleQuery> query = localeQuery;
    if (query == nullptr)
    {
        std::vector<LocaleQuery::Language> named;
        for (const auto& table : languages)
            named.push_back({static_cast<std::uint16_t>(table.languageId), table.posixLanguage,
                             table.localeNames});
        query = LocaleQuery::createForPlatform(named);
    }

    for (const auto& id : query->installedLocaleIds())
    {
        if (!noteInstalledLocale(id.c_str()))
            break;
    }

    const unsigned userLanguage = query->userDefaultLanguageId() & 0xFFu;

    for (std::size_t i = 0; i < languages.size(); ++i)
    {
        if (userLanguage == (languages[i].languageId & 0xFFu))
            return available[i] ? static_cast<int>(i) : 0;
    }
    return 0;
}

// Called once per installed locale; false ends the enumeration. A locale
// makes every language but the first available whose LANGID's low 8 bits are
// its identifier's last two hex digits.
bool TxtLoader::noteInstalledLocale(const char* localeId)
{
    if (localeId == nullptr)
        return false;

    const std::size_t length = std::strlen(localeId);
    if (length < 2)
        return true;

    // The id's last two characters against the two hex digits, in either case.
    const auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
    TxtLoader* texts = getInstance();
    for (std::size_t i = 1; i < texts->languages.size(); ++i)
    {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%02x", texts->languages[i].languageId & 0xFFu);
        if (lower(localeId[length - 2]) == lower(digits[0]) &&
            lower(localeId[length - 1]) == lower(digits[1]))
            texts->available[i] = true;
    }

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
            destination[stored] = textOfEntry(text);
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
