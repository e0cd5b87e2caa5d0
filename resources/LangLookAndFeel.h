// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The language selector's look: JUCE's light drawing, except that each item
// of its pop-up list that names a language is drawn in that language's own
// typeface, and the item under the mouse has a dark blue background.
class LangLookAndFeel : public juce::LookAndFeel_V2
{
public:
    LangLookAndFeel() = default;
    ~LangLookAndFeel() override = default;

    // Changes the default sans-serif typeface name while drawing an item that
    // names a language, and puts the previous one back before returning.
    void drawPopupMenuItem(juce::Graphics& g, const juce::Rectangle<int>& area, bool isSeparator,
                           bool isActive, bool isHighlighted, bool isTicked, bool hasSubMenu,
                           const juce::String& text, const juce::String& shortcutKeyText,
                           const juce::Drawable* icon, const juce::Colour* textColour) override;

private:
    void drawItem(juce::Graphics& g, int width, int height, bool isSeparator, bool isActive,
                  bool isHighlighted, bool isTicked, bool hasSubMenu, const juce::String& text,
                  const juce::String& shortcutKeyText, const juce::Drawable* icon,
                  const juce::Colour* textColour);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(LangLookAndFeel)
};
