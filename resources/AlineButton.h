// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The main screen's push button: the look-and-feel's button background with
// black text in a typeface and style of the button's own, at 0.6 of the
// button's height but never above 15.
class AlineButton : public juce::Button
{
public:
    explicit AlineButton(const juce::String& name);

    // Take effect at the next repaint; setText always repaints.
    void setFontName(const juce::String& name);
    void setFontStyle(int styleFlags);
    void setText(const juce::String& text);

    const juce::String& getFontName() const { return fontName; }
    int getFontStyle() const { return fontStyle; }

    // Queues a click (as the accessibility "press" does) only while the
    // button is shown and enabled; JUCE delivers it later to the button if
    // it is still enabled then.
    void triggerClick() override;

protected:
    void paintButton(juce::Graphics& g, bool isMouseOver, bool isButtonDown) override;

private:
    juce::Justification justification{juce::Justification::centred};
    juce::String fontName;
    int fontStyle = juce::Font::plain;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(AlineButton)
};
