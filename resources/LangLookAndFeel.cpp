// KVR516_UPDATE, GPL-3.0-or-later.
#include "resources/LangLookAndFeel.h"

#include "resources/TxtLoader.h"
#include "resources/TypefaceLookAndFeel.h"

void LangLookAndFeel::drawPopupMenuItem(juce::Graphics& g, const juce::Rectangle<int>& area,
                                        bool isSeparator, bool isActive, bool isHighlighted,
                                        bool isTicked, bool hasSubMenu, const juce::String& text,
                                        const juce::String& shortcutKeyText,
                                        const juce::Drawable* icon, const juce::Colour* textColour)
{
    juce::Graphics::ScopedSaveState state(g);
    g.setOrigin(area.getPosition());
    drawItem(g, area.getWidth(), area.getHeight(), isSeparator, isActive, isHighlighted, isTicked,
             hasSubMenu, text, shortcutKeyText, icon, textColour);
}

void LangLookAndFeel::drawItem(juce::Graphics& g, int width, int height, bool isSeparator,
                               bool isActive, bool isHighlighted, bool isTicked, bool hasSubMenu,
                               const juce::String& text, const juce::String& shortcutKeyText,
                               const juce::Drawable* icon, const juce::Colour* textColour)
{
    const float halfH = static_cast<float>(height) * 0.5f;

    if (isSeparator)
    {
        const float x1 = 5.5f;
        const float x2 = static_cast<float>(width) - 5.5f;
        g.setColour(juce::Colour(0x33000000));
        g.drawLine(x1, halfH, x2, halfH);
        g.setColour(juce::Colour(0x66FFFFFF));
        g.drawLine(x1, halfH + 1.0f, x2, halfH + 1.0f);
        return;
    }

    const auto colour =
        textColour != nullptr ? *textColour : findColour(juce::PopupMenu::textColourId);

    if (isHighlighted)
    {
        g.setColour(juce::Colour(0xFF000040));
        g.fillRect(1, 1, width - 2, height - 2);
        g.setColour(findColour(juce::PopupMenu::highlightedTextColourId));
    }
    else
    {
        g.setColour(colour);
    }

    if (!isActive)
        g.setOpacity(0.3f);

    // A language's name is drawn in that language's typeface.
    const auto savedName = TypefaceLookAndFeel::getDefaultSansSerifName();
    const auto* texts = TxtLoader::getInstance();

    for (int i = 0; i < texts->getLanguageCount(); ++i)
    {
        if (text.equalsIgnoreCase(texts->getLanguageName(i)))
        {
            TypefaceLookAndFeel::setDefaultSansSerifName(texts->getFontName(i));
            break;
        }
    }

    auto font = getPopupMenuFont();
    const float maxFontHeight = static_cast<float>(height) / 1.3f;

    if (font.getHeight() > maxFontHeight)
        font.setHeight(maxFontHeight);

    g.setFont(font);

    const int leftBorder = (height * 5) / 4;
    const int rightBorder = 4;

    if (icon != nullptr)
    {
        icon->drawWithin(
            g,
            juce::Rectangle<float>(2.0f, 1.0f, static_cast<float>(leftBorder - 4),
                                   static_cast<float>(height - 2)),
            juce::RectanglePlacement::centred | juce::RectanglePlacement::onlyReduceInSize, 1.0f);
    }
    else if (isTicked)
    {
        const auto tick = getTickShape(1.0f);
        const float ascent = font.getAscent();
        g.fillPath(tick,
                   tick.getTransformToScaleToFit(2.0f, halfH - ascent * 0.5f,
                                                 static_cast<float>(leftBorder - 4), ascent, true));
    }

    g.drawFittedText(text, leftBorder, 0, width - (leftBorder + rightBorder), height,
                     juce::Justification::centredLeft, 1, 0.7f);

    if (shortcutKeyText.isNotEmpty())
    {
        auto shortcutFont = g.getCurrentFont();
        shortcutFont.setHeight(shortcutFont.getHeight() * 0.75f);
        shortcutFont.setHorizontalScale(0.95f);
        g.setFont(shortcutFont);
        g.drawText(shortcutKeyText, leftBorder, 0, width - (leftBorder + rightBorder + 4), height,
                   juce::Justification::centredRight, true);
    }

    if (hasSubMenu)
    {
        const float arrowH = 0.6f * getPopupMenuFont().getAscent();
        const float x = static_cast<float>(width) - static_cast<float>(height) * 0.6f;

        juce::Path arrow;
        arrow.addTriangle(x, halfH - arrowH * 0.5f, x, halfH + arrowH * 0.5f, x + arrowH * 0.6f,
                          halfH);
        g.fillPath(arrow);
    }

    TypefaceLookAndFeel::setDefaultSansSerifName(savedName);
}
