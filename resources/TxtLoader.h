// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "resources/EmbeddedData.h"

#include <juce_core/juce_core.h>

#include <memory>
#include <vector>

class LocaleQuery;

// Reads the compiled-in text tables: the typeface and language names once,
// and the current language's strings (the first stringCount entries of its
// table) each time the language changes.
// The languages are those of languageTables (EmbeddedData.h). One instance
// per process, used on the message thread only.
class TxtLoader
{
public:
    static constexpr int stringCount = 75;
    static constexpr int lineBufferSize = 2048; // a line holds at most 2047 bytes

    // The sections a table can hold; any other header counts as none.
    enum class Section
    {
        none,
        str,
        fontWin,
        lang
    };

    // Creates the instance on the first call: reads the font table, chooses
    // the start-up language and loads its strings.
    static TxtLoader* getInstance();
    static void deleteInstance();

    // The locale operations that later instances ask; null gives back the
    // platform's own. For tests, before getInstance.
    static void setLocaleQuery(std::shared_ptr<LocaleQuery> query);
    // The languages and the font table that later instances read; with no
    // arguments, the program's own. For tests, before getInstance.
    static void setLanguageTables(std::vector<LanguageTable> tables = languageTables,
                                  EmbeddedData fonts = fontTable);

    // The number of languages; each index below it names one.
    int getLanguageCount() const;
    const juce::String& getString(int index) const;          // 0..55, else empty
    const juce::String& getLanguageName(int language) const; // a language, else empty
    const juce::String& getFontName(int language) const;     // a language, else empty
    const juce::String& getCurrentFontName() const;
    int getLanguage() const;
    bool isLanguageAvailable(int language) const; // false for no language
    // Makes another language current and reloads the strings; an index that
    // names no language is ignored.
    void setLanguage(int language);

    virtual ~TxtLoader();

    // Reads the entries of one section of a table into destination[0],
    // destination[1], ... up to capacity of them; the table is read to ":EOF"
    // or its end. Slots beyond the entries read keep their contents. A line
    // longer than 2047 bytes is cut to its first 2047 bytes.
    static void loadSection(const EmbeddedData& table, Section section, juce::String* destination,
                            int capacity);

    // Decodes the quoted text of one zero-terminated entry line into output
    // (lineBufferSize bytes), zero-terminated. A line without a double quote
    // gives the empty text.
    static void unescapeEntry(const char* line, char* output);

private:
    TxtLoader();
    int detectLanguage();
    static bool noteInstalledLocale(const char* localeId);
    bool isLanguage(int index) const;

    const std::vector<LanguageTable> languages;
    int language = -1;
    juce::String emptyText;
    // Whether each language may be offered: English always, any other one
    // when the system has one of its locales.
    std::vector<bool> available;
    std::vector<juce::String> fontNames;
    std::vector<juce::String> languageNames;
    juce::String strings[stringCount];

    JUCE_DECLARE_NON_COPYABLE(TxtLoader)
};
