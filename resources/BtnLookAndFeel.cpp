// KVR516_UPDATE, GPL-3.0-or-later.
#include "resources/BtnLookAndFeel.h"

namespace
{
// How far inside the button's edge the focus line runs.
constexpr float focusInset = 2.5f;

// JUCE's classic button base colour: more saturated with keyboard focus,
// contrasted when the mouse is over the button or it is held down.
juce::Colour baseColour(juce::Colour colour, bool hasKeyboardFocus, bool isMouseOver, bool isDown)
{
    const auto base = colour.withMultipliedSaturation(hasKeyboardFocus ? 1.3f : 0.9f);

    if (isDown)
        return base.contrasting(0.2f);
    if (isMouseOver)
        return base.contrasting(0.1f);
    return base;
}
} // namespace

void BtnLookAndFeel::drawButtonBackground(juce::Graphics& g, juce::Button& button,
                                          const juce::Colour& backgroundColour,
                                          bool isMouseOverButton, bool isButtonDown)
{
    const float thickness = !button.isEnabled()                   ? 0.4f
                            : (isMouseOverButton || isButtonDown) ? 1.2f
                                                                  : 0.7f;
    const float half = thickness * 0.5f;

    const bool left = button.isConnectedOnLeft();
    const bool right = button.isConnectedOnRight();
    const bool top = button.isConnectedOnTop();
    const bool bottom = button.isConnectedOnBottom();

    const float indentL = left ? 0.1f : half;
    const float indentR = right ? 0.1f : half;
    const float indentT = top ? 0.1f : half;
    const float indentB = bottom ? 0.1f : half;

    const auto colour =
        baseColour(backgroundColour, button.hasKeyboardFocus(true), isMouseOverButton, isButtonDown)
            .withMultipliedAlpha(button.isEnabled() ? 1.0f : 0.5f);

    const float w = static_cast<float>(button.getWidth()) - indentL - indentR;
    const float h = static_cast<float>(button.getHeight()) - indentT - indentB;
    drawFlatLozenge(g, indentL, indentT, w, h, colour, thickness, -1.0f, left, right, top, bottom);

    // The keyboard's place: a thin line of the text's black, half as strong,
    // inside the outline and of the same shape.
    if (button.isEnabled() && button.hasKeyboardFocus(false) && w > 2.0f * focusInset &&
        h > 2.0f * focusInset)
    {
        juce::Path mark;
        const float markW = w - 2.0f * focusInset;
        const float markH = h - 2.0f * focusInset;
        createRoundedPath(mark, indentL + focusInset, indentT + focusInset, markW, markH,
                          juce::jmin(markW, markH) * 0.5f, !(left || top), !(right || top),
                          !(left || bottom), !(right || bottom));
        g.setColour(juce::Colours::black.withAlpha(0.5f));
        g.strokePath(mark, juce::PathStrokeType(1.0f));
    }
}

void BtnLookAndFeel::drawFlatLozenge(juce::Graphics& g, float x, float y, float w, float h,
                                     const juce::Colour& colour, float outlineThickness,
                                     float cornerSize, bool flatOnLeft, bool flatOnRight,
                                     bool flatOnTop, bool flatOnBottom)
{
    if (w <= outlineThickness || h <= outlineThickness)
        return;

    const float cs = cornerSize >= 0.0f ? cornerSize : juce::jmin(w * 0.5f, h * 0.5f);

    juce::Path outline;
    createRoundedPath(outline, x, y, w, h, cs, !(flatOnLeft || flatOnTop),
                      !(flatOnRight || flatOnTop), !(flatOnLeft || flatOnBottom),
                      !(flatOnRight || flatOnBottom));

    g.setColour(colour);
    g.fillPath(outline);

    g.setColour(colour.darker(0.4f).withMultipliedAlpha(1.5f));
    g.strokePath(outline, juce::PathStrokeType(outlineThickness, juce::PathStrokeType::mitered,
                                               juce::PathStrokeType::butt));
}

void BtnLookAndFeel::createRoundedPath(juce::Path& path, float x, float y, float w, float h,
                                       float cs, bool curveTopLeft, bool curveTopRight,
                                       bool curveBottomLeft, bool curveBottomRight)
{
    const float cs2 = 2.0f * cs;
    const float pi = juce::MathConstants<float>::pi;

    if (curveTopLeft)
    {
        path.startNewSubPath(x, y + cs);
        path.addArc(x, y, cs2, cs2, pi * 1.5f, pi * 2.0f);
    }
    else
    {
        path.startNewSubPath(x, y);
    }

    if (curveTopRight)
    {
        path.lineTo(x + w - cs, y);
        path.addArc(x + w - cs2, y, cs2, cs2, 0.0f, pi * 0.5f);
    }
    else
    {
        path.lineTo(x + w, y);
    }

    if (curveBottomRight)
    {
        path.lineTo(x + w, y + h - cs);
        path.addArc(x + w - cs2, y + h - cs2, cs2, cs2, pi * 0.5f, pi);
    }
    else
    {
        path.lineTo(x + w, y + h);
    }

    if (curveBottomLeft)
    {
        path.lineTo(x + cs, y + h);
        path.addArc(x, y + h - cs2, cs2, cs2, pi, pi * 1.5f);
    }
    else
    {
        path.lineTo(x, y + h);
    }

    path.closeSubPath();
}
