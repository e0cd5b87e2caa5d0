// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/AppIcon.h"

juce::Image AppIcon::create(int size)
{
    juce::Image image(juce::Image::ARGB, size, size, true);
    juce::Graphics g(image);

    // Drawn on a 100 × 100 grid, scaled to the size asked for.
    g.addTransform(juce::AffineTransform::scale(static_cast<float>(size) / 100.0f));

    const juce::Rectangle<float> body(4.0f, 4.0f, 92.0f, 92.0f);
    g.setColour(juce::Colour(0xFFEFEBDE));
    g.fillRoundedRectangle(body, 14.0f);
    g.setColour(juce::Colour(0xFF3A3A3A));
    g.drawRoundedRectangle(body, 14.0f, 4.0f);

    // Three fader slots with their caps at different levels.
    const float capLevels[] = {66.0f, 48.0f, 74.0f};
    for (int i = 0; i < 3; ++i)
    {
        const float x = 22.0f + 18.0f * static_cast<float>(i);
        g.setColour(juce::Colour(0xFF3A3A3A));
        g.fillRoundedRectangle(x - 2.0f, 36.0f, 4.0f, 50.0f, 2.0f);
        g.setColour(juce::Colour(0xFF5A5A5A));
        g.fillRoundedRectangle(x - 7.0f, capLevels[i] - 4.0f, 14.0f, 8.0f, 2.0f);
    }

    // The update coming down into the mixer.
    juce::Path arrow;
    arrow.addArrow(juce::Line<float>(78.0f, 12.0f, 78.0f, 62.0f), 10.0f, 24.0f, 18.0f);
    g.setColour(juce::Colour(0xFF1F6FB2));
    g.fillPath(arrow);

    return image;
}
