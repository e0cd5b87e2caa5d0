// KVR516_UPDATE, GPL-3.0-or-later.
#include "ui/MixerRow.h"

#include "resources/TxtLoader.h"

namespace
{
constexpr int nameWidth = 190;

class LineValue : public juce::AccessibilityTextValueInterface
{
public:
    explicit LineValue(const juce::Label& l) : line(l) {}
    bool isReadOnly() const override { return true; }
    juce::String getCurrentValueAsString() const override { return line.getText(); }
    void setValueAsString(const juce::String&) override {}

private:
    const juce::Label& line;
};
} // namespace

MixerRow::MixerRow()
{
    for (auto* label : {&name, &line})
    {
        label->setJustificationType(juce::Justification::centredLeft);
        label->setMinimumHorizontalScale(1.0f);
        label->setAccessible(false);
        addAndMakeVisible(*label);
    }
    setInterceptsMouseClicks(false, false);
}

void MixerRow::show(const juce::String& n, double fraction, const juce::String& l)
{
    const juce::Font font(TxtLoader::getInstance()->getCurrentFontName(), 12.8f, juce::Font::plain);
    name.setFont(font);
    line.setFont(font);
    const double before = barValue;
    if (n != name.getText()) // a later try starts from nothing
        barValue = 0;
    barValue = juce::jlimit(barValue, 1.0, fraction);
    // Drawn anew only where it has grown by a pixel or more.
    if (juce::roundToInt(before * bar.getWidth()) != juce::roundToInt(barValue * bar.getWidth()))
        repaint(bar);
    setTitle(n);
    name.setText(n, juce::dontSendNotification);
    line.setText(l, juce::dontSendNotification);
}

void MixerRow::resized()
{
    auto top = getLocalBounds().removeFromTop(height / 2);
    name.setBounds(top.removeFromLeft(nameWidth));
    bar = top.reduced(4, 3);
    line.setBounds(getLocalBounds().withTrimmedTop(height / 2));
}

void MixerRow::paint(juce::Graphics& g)
{
    g.setColour(juce::Colours::white);
    g.fillRect(bar);
    g.setColour(juce::Colour(0xFF3A6EA5));
    g.fillRect(bar.withWidth(juce::roundToInt(barValue * bar.getWidth())));
    g.setColour(juce::Colour(0xFF808080));
    g.drawRect(bar);
}

std::unique_ptr<juce::AccessibilityHandler> MixerRow::createAccessibilityHandler()
{
    return std::make_unique<juce::AccessibilityHandler>(
        *this, juce::AccessibilityRole::listItem, juce::AccessibilityActions{},
        juce::AccessibilityHandler::Interfaces{std::make_unique<LineValue>(line)});
}
