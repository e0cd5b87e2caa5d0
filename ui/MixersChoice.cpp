// KVR516_UPDATE, GPL-3.0-or-later.
#include "ui/MixersChoice.h"

#include "resources/StringEntry.h"
#include "resources/TxtLoader.h"

namespace
{
constexpr int labelWidth = 100;
}

MixersChoice::MixersChoice()
{
    label.setJustificationType(juce::Justification::centredRight);
    label.setAccessible(false); // the number carries the label as its title
    addAndMakeVisible(label);

    number.setName("mixers");
    number.setRange(1, maxMixers, 1);
    number.setValue(1, juce::dontSendNotification);
    number.setIncDecButtonsMode(juce::Slider::incDecButtonsNotDraggable);
    number.setTextBoxIsEditable(false);
    number.setTextBoxStyle(juce::Slider::TextBoxLeft, true, 36, 24);
    number.setWantsKeyboardFocus(true);
    number.setMouseClickGrabsKeyboardFocus(false);
    addAndMakeVisible(number);
    // Its buttons are for the mouse: Tab goes to the number itself. They
    // take the panel's colour, as the screen's own buttons do.
    for (auto* child : number.getChildren())
    {
        child->setWantsKeyboardFocus(false);
        child->setMouseClickGrabsKeyboardFocus(false);
        child->setColour(juce::TextButton::buttonColourId, juce::Colour(0xFFEFEBDE));
    }
}

int MixersChoice::getMixers() const
{
    return juce::roundToInt(number.getValue());
}

void MixersChoice::setMixers(int mixers)
{
    number.setValue(juce::jlimit(1, maxMixers, mixers), juce::dontSendNotification);
}

void MixersChoice::refresh()
{
    const TxtLoader* txt = TxtLoader::getInstance();
    const juce::String text = txt->getString(StringEntry::mixersLabel);
    label.setFont(juce::Font(txt->getCurrentFontName(), 12.8f, juce::Font::plain));
    label.setText(text, juce::dontSendNotification);
    number.setTitle(text.trimCharactersAtEnd(":："));
}

void MixersChoice::resized()
{
    auto bounds = getLocalBounds();
    label.setBounds(bounds.removeFromLeft(labelWidth));
    number.setBounds(bounds.withTrimmedLeft(4));
}

void MixersChoice::paintOverChildren(juce::Graphics& g)
{
    if (!number.hasKeyboardFocus(true))
        return;
    g.setColour(juce::Colour(0xFF202020));
    g.drawRect(number.getBounds().withWidth(36).reduced(2), 1);
}
