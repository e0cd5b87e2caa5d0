// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

#include <string>
#include <vector>

// Bytes compiled into the program. Text tables are followed in memory by one
// zero byte that the size leaves out.
struct EmbeddedData
{
    const char* data;
    juce::uint32 size;
};

// One display language: the one place that decides which languages the
// program has. Its position in languageTables is the language index (0
// English, which is always offered, 1 Japanese, ...); entry i of the font
// table's FONT_WIN and LANG sections (Fonts.txt) is that language's typeface
// and name. Everything that counts languages or maps locales to them (the
// table reader, the selector, each platform's locale query, the typeface
// lookup, the preview tool) takes them from here.
struct LanguageTable
{
    // The Windows language (a LANGID) it is written in; only its low 8 bits
    // are compared, with the user's language and with the last two hex
    // digits of each installed locale.
    juce::uint32 languageId;
    // Its string table.
    EmbeddedData table;
    // The language as a POSIX locale name begins ("ja" of "ja_JP.UTF-8"),
    // which is also fontconfig's name for it.
    const char* posixLanguage;
    // C library locale names: the language counts as installed on Linux when
    // one of them can be opened.
    std::vector<std::string> localeNames;
};

extern const std::vector<LanguageTable> languageTables;
extern const EmbeddedData fontTable;
extern const EmbeddedData imageTable[1];
