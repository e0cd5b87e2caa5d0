// KVR516_UPDATE, GPL-3.0-or-later.
#include "resources/EmbeddedData.h"

#include "KvrBinaryData.h"

namespace
{
EmbeddedData embedded(const char* data, int size)
{
    return {data, static_cast<juce::uint32>(size)};
}
} // namespace

const LanguageTable languageTables[2] = {
    {0x0409, embedded(KvrBinaryData::StringsEnglish_txt, KvrBinaryData::StringsEnglish_txtSize)},
    {0x0411, embedded(KvrBinaryData::StringsJapanese_txt, KvrBinaryData::StringsJapanese_txtSize)},
};

const EmbeddedData fontTable = embedded(KvrBinaryData::Fonts_txt, KvrBinaryData::Fonts_txtSize);

const EmbeddedData imageTable[1] = {
    embedded(KvrBinaryData::Logo_png, KvrBinaryData::Logo_pngSize),
};
