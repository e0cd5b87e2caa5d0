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

// clang-format off
const std::vector<LanguageTable> languageTables = {
    {0x0409, embedded(KvrBinaryData::StringsEnglish_txt, KvrBinaryData::StringsEnglish_txtSize),
     "en", {"en_US.UTF-8", "en_GB.UTF-8"}},
    {0x0411, embedded(KvrBinaryData::StringsJapanese_txt, KvrBinaryData::StringsJapanese_txtSize),
     "ja", {"ja_JP.UTF-8", "ja_JP.utf8", "ja_JP.eucJP", "ja_JP"}},
};
// clang-format on

const EmbeddedData fontTable = embedded(KvrBinaryData::Fonts_txt, KvrBinaryData::Fonts_txtSize);

const EmbeddedData imageTable[1] = {
    embedded(KvrBinaryData::Logo_png, KvrBinaryData::Logo_pngSize),
};
