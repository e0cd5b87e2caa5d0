// KVR516_UPDATE, GPL-3.0-or-later.
#include "ui/LanguageSelector.h"

#include "resources/LangLookAndFeel.h"
#include "resources/TxtLoader.h"

LanguageSelector::LanguageSelector()
    : juce::ComboBox("langs"), lookAndFeel(std::make_unique<LangLookAndFeel>())
{
    setLookAndFeel(lookAndFeel.get());
    addListener(this);
    setWantsKeyboardFocus(true);
    setMouseClickGrabsKeyboardFocus(false);

    const TxtLoader* txt = TxtLoader::getInstance();
    for (int language = 0; language < txt->getLanguageCount(); ++language)
        if (txt->isLanguageAvailable(language))
            addItem(txt->getLanguageName(language), language + 1);
}

LanguageSelector::~LanguageSelector()
{
    setLookAndFeel(nullptr);
}

void LanguageSelector::refresh(const juce::String& title)
{
    setTitle(title);
    setSelectedId(TxtLoader::getInstance()->getLanguage() + 1, juce::sendNotificationAsync);
    // A JUCE font keeps the typeface it was first drawn with, and a label
    // keeps its font when given an equal one: the selector's label gets
    // another font first, so that the one it is laid out with is new and
    // drawn in the current language's typeface.
    for (auto* c : getChildren())
        if (auto* label = dynamic_cast<juce::Label*>(c))
            label->setFont(juce::Font());
    resized();
}

// Only listed languages can be chosen; any other id changes nothing.
void LanguageSelector::comboBoxChanged(juce::ComboBox*)
{
    TxtLoader* txt = TxtLoader::getInstance();
    const int id = getSelectedId();
    if (id == txt->getLanguage() + 1 || id < 1 || id > txt->getLanguageCount() ||
        !txt->isLanguageAvailable(id - 1))
        return;

    txt->setLanguage(id - 1);
    if (onLanguageChosen)
        onLanguageChosen();
}
