// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The ready screen's choice of how many mixers to wait for, 1 to maxMixers
// (1 by default): a label and a number with buttons up and down. Tab reaches
// the number, whose arrow keys change it; Return and Escape go on to the
// screen's buttons.
class MixersChoice : public juce::Component
{
public:
    // As many as --mixers takes.
    static constexpr int maxMixers = 64;

    MixersChoice();

    int getMixers() const;
    void setMixers(int mixers);
    // The label in the current language and font.
    void refresh();

    void resized() override;
    // A thin dark line inside the number's box while it has the keyboard.
    void paintOverChildren(juce::Graphics& g) override;
    void focusOfChildComponentChanged(FocusChangeType) override { repaint(); }

    // The number's widget, for the keyboard.
    juce::Slider& getNumber() noexcept { return number; }

private:
    juce::Label label;
    juce::Slider number{juce::Slider::IncDecButtons, juce::Slider::TextBoxLeft};
};
