// KVR516_UPDATE, GPL-3.0-or-later.
#include "resources/AlineButton.h"

#include "resources/TypefaceLookAndFeel.h"

namespace
{
// The default sans-serif name at this moment; before the program has set one,
// JUCE's placeholder, which keeps following the default.
juce::String currentDefaultSansSerifName()
{
    const auto name = TypefaceLookAndFeel::getDefaultSansSerifName();
    return name.isNotEmpty() ? name : juce::Font::getDefaultSansSerifFontName();
}
} // namespace

AlineButton::AlineButton(const juce::String& name)
    : juce::Button(name), fontName(currentDefaultSansSerifName())
{
}

void AlineButton::setFontName(const juce::String& name)
{
    fontName = name;
}

void AlineButton::setFontStyle(int styleFlags)
{
    fontStyle = styleFlags;
}

void AlineButton::setText(const juce::String& text)
{
    if (text == getButtonText())
        repaint();
    else
        setButtonText(text);
}

void AlineButton::triggerClick()
{
    if (isEnabled() && isVisible())
        juce::Button::triggerClick();
}

void AlineButton::paintButton(juce::Graphics& g, bool isMouseOver, bool isButtonDown)
{
    const auto colour = findColour(getToggleState() ? juce::TextButton::buttonOnColourId
                                                    : juce::TextButton::buttonColourId,
                                   false);
    getLookAndFeel().drawButtonBackground(g, *this, colour, isMouseOver, isButtonDown);

    auto textHeight = 0.6f * static_cast<float>(getHeight());
    if (textHeight >= 15.0f)
        textHeight = 15.0f;

    g.setFont(juce::Font(fontName, textHeight, fontStyle));
    g.setColour(juce::Colour(0xFF000000).withAlpha(isEnabled() ? 1.0f : 0.4f));
    g.drawFittedText(getButtonText(), 4, 4, getWidth() - 8, getHeight() - 8, justification, 1,
                     0.7f);
}
