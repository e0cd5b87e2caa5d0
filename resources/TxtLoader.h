// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "resources/EmbeddedData.h"

#include <juce_core/juce_core.h>

#include <memory>

class LocaleQuery;

// Reads the compiled-in text tables: the typeface and language names once,
// and the 41 strings of the current language each time the language changes.
// One instance per process, used on the message thread only.
class TxtLoader
{
public:
    static constexpr int languageCount = 2;
    static constexpr int stringCount = 41;
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

    const juce::String& getString(int index) const;          // 0..40, else empty
    const juce::String& getLanguageName(int language) const; // 0..1, else empty
    const juce::String& getFontName(int language) const;     // 0..1, else empty
    const juce::String& getCurrentFontName() const;
    int getLanguage() const;
    bool isLanguageAvailable(int language) const; // false outside 0..1
    // Makes another language current and reloads the strings; indexes other
    // than 0 and 1 are ignored.
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

    int language = -1;
    juce::String emptyText;
    bool available[languageCount] = {true, false};
    juce::String fontNames[languageCount];
    juce::String languageNames[languageCount];
    juce::String strings[stringCount];

    JUCE_DECLARE_NON_COPYABLE(TxtLoader)
};
