// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

class LangLookAndFeel;

// The language screen's selector, named "langs": the languages this system
// offers, each by its own name; choosing one makes it the current language at
// once. Reached with Tab; a click leaves the keyboard where it is, so that the
// screens look the same to the mouse.
class LanguageSelector : public juce::ComboBox, private juce::ComboBox::Listener
{
public:
    LanguageSelector();
    ~LanguageSelector() override;

    // Selects the current language, laid out in its typeface; title is what
    // assistive technology hears.
    void refresh(const juce::String& title);

    // Called once another language has been made current.
    std::function<void()> onLanguageChosen;

private:
    void comboBoxChanged(juce::ComboBox* comboBox) override;

    std::unique_ptr<LangLookAndFeel> lookAndFeel;
};
