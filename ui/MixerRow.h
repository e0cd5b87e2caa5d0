// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// One mixer's row on the screens of several mixers: its name (its address,
// and which try), a bar of what it has taken, and beneath them a line of the
// figures followed, once it has ended, by its verdict. A screen reader takes
// the row as one item: the name its title, the line its value.
class MixerRow : public juce::Component
{
public:
    static constexpr int height = 36;

    MixerRow();

    // What the row shows now; fraction 0 to 1 (it never goes back).
    void show(const juce::String& name, double fraction, const juce::String& line);
    juce::String getLine() const { return line.getText(); }

    void paint(juce::Graphics& g) override;
    void resized() override;
    std::unique_ptr<juce::AccessibilityHandler> createAccessibilityHandler() override;

private:
    juce::Label name;
    juce::Label line;
    juce::Rectangle<int> bar;
    double barValue = 0;
};
