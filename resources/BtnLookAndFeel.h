// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Draws push buttons flat: a plain fill with a thin darker outline, square on
// every connected edge, rounded to a pill elsewhere; a button that has the
// keyboard's focus shows a thin dark line inside its outline.
class BtnLookAndFeel : public juce::LookAndFeel_V2
{
public:
    BtnLookAndFeel() = default;
    ~BtnLookAndFeel() override = default;

    void drawButtonBackground(juce::Graphics& g, juce::Button& button,
                              const juce::Colour& backgroundColour, bool isMouseOverButton,
                              bool isButtonDown) override;

    // Fills and outlines the shape; draws nothing when w or h is not larger
    // than the outline thickness. A negative corner size gives half the
    // smaller side.
    static void drawFlatLozenge(juce::Graphics& g, float x, float y, float w, float h,
                                const juce::Colour& colour, float outlineThickness,
                                float cornerSize, bool flatOnLeft, bool flatOnRight, bool flatOnTop,
                                bool flatOnBottom);

    // A rectangle whose chosen corners are quarter circles of radius cs.
    static void createRoundedPath(juce::Path& path, float x, float y, float w, float h, float cs,
                                  bool curveTopLeft, bool curveTopRight, bool curveBottomLeft,
                                  bool curveBottomRight);

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(BtnLookAndFeel)
};
