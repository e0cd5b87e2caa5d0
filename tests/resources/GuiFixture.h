// KVR516_UPDATE, GPL-3.0-or-later.
// Drawing tests (JUCE is set up by the tests' main): the program's typeface
// look-and-feel as the default one, the text tables with English current, and
// helpers that render into images and measure what was drawn.
#pragma once

#include "FakeLocaleQuery.h"
#include "resources/TxtLoader.h"
#include "resources/TypefaceLookAndFeel.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

class GuiFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        juce::LookAndFeel::setDefaultLookAndFeel(&typefaces);
        TxtLoader::setLocaleQuery(
            std::make_shared<FakeLocaleQuery>(std::vector<std::string>{"00000411"}, 0x0409));
        TxtLoader::getInstance();
    }

    void TearDown() override
    {
        TxtLoader::deleteInstance();
        TxtLoader::setLocaleQuery(nullptr);
        juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
    }

    // A white image of width x height units, drawn into at scale pixels per unit.
    static juce::Image render(int width, int height, float scale,
                              const std::function<void(juce::Graphics&)>& draw)
    {
        juce::Image image(juce::Image::ARGB, juce::roundToInt(static_cast<float>(width) * scale),
                          juce::roundToInt(static_cast<float>(height) * scale), true);
        juce::Graphics g(image);
        g.fillAll(juce::Colours::white);
        g.addTransform(juce::AffineTransform::scale(scale));
        draw(g);
        return image;
    }

    // One text in black, centred in a 120 x 60 image.
    static juce::Image renderText(const juce::String& text, const juce::Font& font)
    {
        return render(120, 60, 1.0f,
                      [&](juce::Graphics& g)
                      {
                          g.setColour(juce::Colours::black);
                          g.setFont(font);
                          g.drawText(text, 0, 0, 120, 60, juce::Justification::centred, false);
                      });
    }

    static bool sameImage(const juce::Image& a, const juce::Image& b)
    {
        if (a.getBounds() != b.getBounds())
            return false;
        for (int y = 0; y < a.getHeight(); ++y)
            for (int x = 0; x < a.getWidth(); ++x)
                if (a.getPixelAt(x, y) != b.getPixelAt(x, y))
                    return false;
        return true;
    }

    static float brightness(const juce::Image& image, int x, int y)
    {
        return image.getPixelAt(x, y).getPerceivedBrightness();
    }

    // Number of pixels darker than threshold.
    static int ink(const juce::Image& image, float threshold = 0.5f)
    {
        int count = 0;
        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                if (brightness(image, x, y) < threshold)
                    ++count;
        return count;
    }

    // Smallest rectangle holding every pixel darker than threshold.
    static juce::Rectangle<int> inkBounds(const juce::Image& image, float threshold)
    {
        juce::Rectangle<int> bounds;
        bool any = false;
        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                if (brightness(image, x, y) < threshold)
                {
                    const juce::Rectangle<int> pixel(x, y, 1, 1);
                    bounds = any ? bounds.getUnion(pixel) : pixel;
                    any = true;
                }
        return bounds;
    }

    TypefaceLookAndFeel typefaces;
};
