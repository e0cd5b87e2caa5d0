// KVR516_UPDATE, GPL-3.0-or-later.
// The push button and its background, rendered at ten pixels per unit so that
// outline widths and insets of tenths of a unit can be measured.
#include "GuiFixture.h"
#include "resources/AlineButton.h"
#include "resources/BtnLookAndFeel.h"

namespace
{
constexpr float scale = 10.0f;
const juce::Colour buttonColour(0xFFEFEBDE);

struct PaintableButton : AlineButton
{
    using AlineButton::AlineButton;
    using AlineButton::paintButton;
};

class ButtonDrawing : public GuiFixture
{
protected:
    void SetUp() override
    {
        GuiFixture::SetUp();
        button.setLookAndFeel(&looks);
        button.setColour(juce::TextButton::buttonColourId, buttonColour);
        button.setColour(juce::TextButton::buttonOnColourId, buttonColour);
        button.setFontName("Arial");
        button.setFontStyle(juce::Font::bold);
        button.setSize(60, 30);
    }

    void TearDown() override
    {
        button.setLookAndFeel(nullptr);
        GuiFixture::TearDown();
    }

    juce::Image background(bool over, bool down)
    {
        return render(button.getWidth(), button.getHeight(), scale,
                      [&](juce::Graphics& g)
                      { looks.drawButtonBackground(g, button, buttonColour, over, down); });
    }

    juce::Image whole(bool over, bool down)
    {
        return render(button.getWidth(), button.getHeight(), scale,
                      [&](juce::Graphics& g) { button.paintButton(g, over, down); });
    }

    // Pixels of the outline along column x from the top edge to the middle:
    // those clearly darker than the fill found in the middle.
    static int outlineRun(const juce::Image& image, int x)
    {
        const int middle = image.getHeight() / 2;
        float darkest = 1.0f;
        for (int y = 0; y < middle; ++y)
            darkest = juce::jmin(darkest, brightness(image, x, y));
        const float threshold = (darkest + brightness(image, x, middle)) * 0.5f;

        int run = 0;
        for (int y = 0; y < middle; ++y)
            if (brightness(image, x, y) < threshold)
                ++run;
        return run;
    }

    BtnLookAndFeel looks;
    PaintableButton button{"button1"};
};
} // namespace

TEST_F(ButtonDrawing, OutlineIsThinWhenIdleAndThickerWhenOverOrDown)
{
    const int middle = 30 * static_cast<int>(scale);
    EXPECT_NEAR(outlineRun(background(false, false), middle), 7, 1);
    EXPECT_NEAR(outlineRun(background(true, false), middle), 12, 1);
    EXPECT_NEAR(outlineRun(background(false, true), middle), 12, 1);
    EXPECT_NEAR(outlineRun(background(true, true), middle), 12, 1);

    button.setEnabled(false);
    EXPECT_NEAR(outlineRun(background(false, false), middle), 4, 1);
    EXPECT_NEAR(outlineRun(background(true, true), middle), 4, 1);
}

TEST_F(ButtonDrawing, FillIsContrastedWhenOverAndMoreWhenDown)
{
    const auto base = buttonColour.withMultipliedSaturation(0.9f);
    const auto fillOf = [](const juce::Image& image)
    { return image.getPixelAt(image.getWidth() / 2, image.getHeight() / 2); };
    const auto near = [](juce::Colour a, juce::Colour b)
    {
        return std::abs(a.getRed() - b.getRed()) <= 2 &&
               std::abs(a.getGreen() - b.getGreen()) <= 2 &&
               std::abs(a.getBlue() - b.getBlue()) <= 2;
    };

    EXPECT_TRUE(near(fillOf(background(false, false)), base));
    EXPECT_TRUE(near(fillOf(background(true, false)), base.contrasting(0.1f)));
    EXPECT_TRUE(near(fillOf(background(false, true)), base.contrasting(0.2f)));
    EXPECT_TRUE(near(fillOf(background(true, true)), base.contrasting(0.2f)));
    EXPECT_FALSE(near(base.contrasting(0.1f), base.contrasting(0.2f)));
}

TEST_F(ButtonDrawing, DisabledButtonHalvesTheFillAndDrawsTextAtFortyPercent)
{
    button.setText("OK");
    const auto enabled = whole(false, false);
    button.setEnabled(false);
    const auto disabled = whole(false, false);

    // The fill over white, at half its alpha.
    const auto fill = disabled.getPixelAt(20, disabled.getHeight() / 2);
    const auto expected =
        juce::Colours::white.interpolatedWith(buttonColour.withMultipliedSaturation(0.9f), 0.5f);
    EXPECT_NEAR(fill.getRed(), expected.getRed(), 2);
    EXPECT_NEAR(fill.getGreen(), expected.getGreen(), 2);
    EXPECT_NEAR(fill.getBlue(), expected.getBlue(), 2);

    // The darkest text pixel: black at full and at 40 % over the fill.
    const auto darkestIn = [](const juce::Image& image)
    {
        float darkest = 1.0f;
        for (int y = 60; y < image.getHeight() - 60; ++y)
            for (int x = 60; x < image.getWidth() - 60; ++x)
                darkest = juce::jmin(darkest, brightness(image, x, y));
        return darkest;
    };
    EXPECT_LT(darkestIn(enabled), 0.02f);
    EXPECT_NEAR(darkestIn(disabled), 0.6f * expected.getPerceivedBrightness(), 0.03f);
}

TEST_F(ButtonDrawing, ButtonConnectedOnAllSidesIsARectangleInsetByATenth)
{
    button.setConnectedEdges(15);
    const auto image = background(false, false);
    const int w = image.getWidth();
    const int h = image.getHeight();

    // Outline 0.7 wide centred 0.1 inside: 0.45 of it, 4.5 pixels, is visible.
    EXPECT_NEAR(outlineRun(image, w / 2), 4.5, 0.6);
    // Square corners: the corner pixels are outline.
    for (auto [x, y] : {std::pair{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}})
        EXPECT_LT(brightness(image, x, y), 0.8f) << x << "," << y;

    // Left and right edges alike.
    int left = 0;
    int right = 0;
    for (int x = 0; x < w / 2; ++x)
    {
        left += brightness(image, x, h / 2) < 0.8f ? 1 : 0;
        right += brightness(image, w - 1 - x, h / 2) < 0.8f ? 1 : 0;
    }
    EXPECT_NEAR(left, 4.5, 0.6);
    EXPECT_NEAR(right, 4.5, 0.6);
}

TEST_F(ButtonDrawing, UnconnectedButtonIsAPillWithHalfItsHeightAsRadius)
{
    button.setConnectedEdges(0);
    const auto image = background(false, false);

    EXPECT_GT(brightness(image, 1, 1), 0.99f); // outside the rounded corner
    // Five units in from the left, the edge of a circle of radius 14.65
    // centred at (15, 15) lies 3.6 units below the top.
    int firstDark = -1;
    for (int y = 0; y < image.getHeight() && firstDark < 0; ++y)
        if (brightness(image, 50, y) < 0.8f)
            firstDark = y;
    EXPECT_NEAR(firstDark, 36, 3);
    // Half way along, the top edge is straight at the top.
    EXPECT_NEAR(outlineRun(image, image.getWidth() / 2), 7, 1);
}

TEST_F(ButtonDrawing, LozengeNoWiderOrTallerThanTheOutlineDrawsNothing)
{
    const auto lozenge = [](float w, float h)
    {
        return render(10, 30, scale,
                      [&](juce::Graphics& g)
                      {
                          BtnLookAndFeel::drawFlatLozenge(g, 1.0f, 1.0f, w, h, juce::Colours::black,
                                                          0.7f, -1.0f, true, true, true, true);
                      });
    };
    EXPECT_EQ(ink(lozenge(0.7f, 20.0f), 0.99f), 0);
    EXPECT_EQ(ink(lozenge(20.0f, 0.7f), 0.99f), 0);
    EXPECT_EQ(ink(lozenge(0.5f, 0.5f), 0.99f), 0);
    EXPECT_GT(ink(lozenge(0.8f, 20.0f), 0.99f), 0);
}

TEST_F(ButtonDrawing, TextIsSixTenthsOfTheHeightButNeverAboveFifteen)
{
    const auto textHeight = [&](int height)
    {
        button.setSize(200, height);
        button.setText("HHH");
        const auto image = whole(false, false);
        return inkBounds(
                   image.getClippedImage(image.getBounds().reduced(static_cast<int>(3 * scale))),
                   0.3f)
            .getHeight();
    };

    const int at24 = textHeight(24); // 14.4
    const int at30 = textHeight(30); // 15
    const int at40 = textHeight(40); // 15
    ASSERT_GT(at30, 50);
    EXPECT_NEAR(at40, at30, 1);
    EXPECT_NEAR(static_cast<double>(at24), at30 * 14.4 / 15.0, 1.5);
    EXPECT_LT(at24, at30);
}

TEST_F(ButtonDrawing, SetTextRepaintsEvenWhenTheTextIsUnchanged)
{
    // A component's cached image hears of every repaint of the component.
    struct RepaintCounter : juce::CachedComponentImage
    {
        void paint(juce::Graphics&) override {}
        bool invalidateAll() override { return ++repaints, true; }
        bool invalidate(const juce::Rectangle<int>&) override { return ++repaints, true; }
        void releaseResources() override {}
        int repaints = 0;
    };

    auto* counter = new RepaintCounter();
    button.setVisible(true);
    button.setCachedComponentImage(counter); // owned by the button

    button.setText("OK");
    const int afterChange = counter->repaints;
    EXPECT_GT(afterChange, 0);

    button.setText("OK"); // same text, as when only the typeface changes
    EXPECT_GT(counter->repaints, afterChange);
    EXPECT_EQ(button.getButtonText(), "OK");

    button.setCachedComponentImage(nullptr);
}
