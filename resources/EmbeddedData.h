// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_core/juce_core.h>

// Bytes compiled into the program. Text tables are followed in memory by one
// zero byte that the size leaves out.
struct EmbeddedData
{
    const char* data;
    juce::uint32 size;
};

// One string table with the language it is written in (a Windows LANGID; only
// its low 8 bits are compared). The position in languageTables is the
// language index: 0 English, 1 Japanese.
struct LanguageTable
{
    juce::uint32 languageId;
    EmbeddedData table;
};

extern const LanguageTable languageTables[2];
extern const EmbeddedData fontTable;
extern const EmbeddedData imageTable[1];
