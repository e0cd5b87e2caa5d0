// KVR516_UPDATE, GPL-3.0-or-later.
#include "resources/TypefaceLookAndFeel.h"

#include "resources/EmbeddedData.h"
#include "resources/TxtLoader.h"

namespace
{
// The default sans-serif name last set through this class.
juce::String& recordedDefaultSansSerifName()
{
    static juce::String name;
    return name;
}
} // namespace

TypefaceLookAndFeel::TypefaceLookAndFeel()
{
    std::vector<juce::String> fontNames(languageTables.size());
    TxtLoader::loadSection(fontTable, TxtLoader::Section::fontWin, fontNames.data(),
                           static_cast<int>(fontNames.size()));
    // The first language that names a typeface decides (English's "Arial").
    for (std::size_t i = 0; i < fontNames.size(); ++i)
        languageOfFamily.emplace(fontNames[i], languageTables[i].posixLanguage);
}

juce::Typeface::Ptr TypefaceLookAndFeel::getTypefaceForFont(const juce::Font& font)
{
    auto requested = font.getTypefaceName();

    if (requested == juce::Font::getDefaultSansSerifFontName())
        requested = recordedDefaultSansSerifName();

    // No name set, or one of JUCE's placeholders: JUCE's own choice.
    if (requested.isEmpty() || requested.startsWithChar('<'))
        return LookAndFeel_V2::getTypefaceForFont(font);

    if (auto typeface = resolve(font, requested))
        return typeface;

    return LookAndFeel_V2::getTypefaceForFont(font);
}

juce::String TypefaceLookAndFeel::languageOf(const juce::String& family) const
{
    const auto found = languageOfFamily.find(family);
    return found != languageOfFamily.end() ? found->second : juce::String("en");
}

juce::Typeface::Ptr TypefaceLookAndFeel::resolve(const juce::Font& font, const juce::String& family)
{
    static const auto knownFamilies = juce::Font::findAllTypefaceNames();

    const auto key = std::make_tuple(family, font.isBold(), font.isItalic());
    auto found = foundFaces.find(key);

    if (found == foundFaces.end())
    {
        const auto face = FontResolver::findFace(
            family, languageOf(family), font.isBold(), font.isItalic(),
            [](const juce::String& name) { return knownFamilies.contains(name); });
        found = foundFaces.emplace(key, face).first;
    }

    const auto& face = found->second;

    if (face.known)
    {
        juce::Font resolved(font);
        resolved.setTypefaceName(face.family);
        return juce::Font::getDefaultTypefaceForFont(resolved);
    }

    // JUCE opens the first face of a file's bytes.
    if (face.file.isEmpty() || face.index != 0)
        return nullptr;

    auto& opened = openedFiles[face.file];

    if (opened == nullptr)
    {
        juce::MemoryBlock bytes;
        if (juce::File(face.file).loadFileAsData(bytes) && bytes.getSize() > 0)
            opened = juce::Typeface::createSystemTypefaceFor(bytes.getData(), bytes.getSize());
    }

    return opened;
}

void TypefaceLookAndFeel::setDefaultSansSerifTypefaceName(const juce::String& name)
{
    recordedDefaultSansSerifName() = name;
    LookAndFeel::setDefaultSansSerifTypefaceName(name);
}

void TypefaceLookAndFeel::setDefaultSansSerifName(const juce::String& name)
{
    auto& defaultLookAndFeel = juce::LookAndFeel::getDefaultLookAndFeel();

    if (auto* ours = dynamic_cast<TypefaceLookAndFeel*>(&defaultLookAndFeel))
    {
        ours->setDefaultSansSerifTypefaceName(name);
    }
    else
    {
        recordedDefaultSansSerifName() = name;
        defaultLookAndFeel.setDefaultSansSerifTypefaceName(name);
    }
}

juce::String TypefaceLookAndFeel::getDefaultSansSerifName()
{
    return recordedDefaultSansSerifName();
}
